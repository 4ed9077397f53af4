#pragma once
// "Konfiguracja serwera bazy danych": the server's memory, time-out and packet-size settings
// from sp_configure in the dialog TOKBottomDlg1, and written back. The dialog lives as long
// as the main window, so the choice between saved and running values stays between showings,
// and each showing loads the values chosen. A login without sysadmin rights is told once and
// sees the settings without "Zapisz"; after "Zapisz" the command says which settings the
// server did not take.
#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QRadioButton;
class QSlider;

namespace vandrel::app {
class TCommandContext;
}

namespace vandrel::app::admin {

// One statement "Zapisz" sends, with the setting it writes as the user reads it.
struct TConfigWrite {
  std::string Sql;
  QString Setting;
};

// The machine's physical memory in bytes (the platform's memory status; tests give their own).
extern std::function<std::uint64_t()> PhysicalMemory;

class TOKBottomDlg1 : public QDialog {
  Q_OBJECT
 public:
  TOKBottomDlg1(TCommandContext& Context, int MemoryMegabytes);

  QRadioButton *RadioButton1, *RadioButton2, *RadioButton3, *RadioButton4;
  QSlider *TrackBar1, *TrackBar2, *TrackBar3;
  QLabel *StatMin, *StatMax, *StatFixed;
  QCheckBox* CheckBox1;
  // Beside CheckBox1: "niedostępne" while the server did not give the setting.
  QLabel* WorkingSetState;
  QLineEdit *Edit1, *Edit2, *Edit3, *Edit4;

  QTabWidget* Pages;
  QPushButton* SaveButton;

  // Fills the controls from column Column (3 saved, 4 running) of sp_configure; a failed
  // reading raises after the SQL error report has shown it.
  void LoadConfiguration(int Column);
  // The statements that write the dialog's settings, in the order they are sent; the number
  // fields hold whole numbers (CheckNumbers), and an empty one sends nothing.
  std::vector<TConfigWrite> Writes() const;
  void ApplyMemoryMode();
  // A login that may not change the server's settings sees them without "Zapisz"; its
  // loading sends no statement that changes anything.
  void SetWritable(bool Writable);
  // Names the first number field that is not a whole number an option can hold, keeping the
  // dialog open with the text as typed; true when all are.
  bool CheckNumbers();

 protected:
  void showEvent(QShowEvent* Event) override;

 private:
  // The number labels show the bars' positions, or "niedostępne" while the memory settings
  // were not read.
  void ShowMemoryNumbers();
  // Shows what the reading gave for the working set and the memory, or that it gave nothing.
  void ShowWorkingSet(const std::string& Value);
  void ShowMemoryUnread();
  void AddMemoryWrites(std::vector<TConfigWrite>& Out) const;

  TCommandContext& FContext;
  QButtonGroup* FMemoryGroup = nullptr;
  bool FWritable = true;
  // Whether the server gave these settings: one it did not give is neither shown nor written.
  bool FMemoryRead = true;
  bool FWorkingSetRead = true;
};

// True when Text is a whole number that an int option of the server can hold.
bool IsWholeNumber(const QString& Text);
// What is wrong with the text of number field Field ("Login timeout:"), in words; empty when
// it is empty or a whole number an option can hold.
QString NumberProblem(const QString& Field, const QString& Text);

// The track bars' maximum in whole megabytes: this machine's physical memory for a server on
// it; for a server elsewhere its own (xp_msver's PhysicalMemory), since the settings are the
// server's, falling back to this machine's when the server does not say.
int ServerMemoryMegabytes(TCommandContext& Context);

// The command, with the bars' maximum in whole megabytes.
void ConfigureServer(TCommandContext& Context, int MemoryMegabytes);
// The command: the server's memory decides the bars.
void ConfigureServer(TCommandContext& Context);

}  // namespace vandrel::app::admin
