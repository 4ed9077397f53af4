#pragma once
// "Konfiguracja serwera bazy danych": the server's memory, time-out and packet-size settings
// from sp_configure in the dialog TOKBottomDlg1, and written back. The dialog lives as long
// as the main window, so the choice between saved and running values stays between showings.
#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;

namespace vandrel::app {
class TForm1;
}

namespace vandrel::app::admin {

// The machine's physical memory in bytes (the platform's memory status; tests give their own).
extern std::function<std::uint64_t()> PhysicalMemory;

class TOKBottomDlg1 : public QDialog {
  Q_OBJECT
 public:
  TOKBottomDlg1(TForm1& Form, int MemoryMegabytes);

  QRadioButton *RadioButton1, *RadioButton2, *RadioButton3, *RadioButton4;
  QSlider *TrackBar1, *TrackBar2, *TrackBar3;
  QLabel *StatMin, *StatMax, *StatFixed;
  QCheckBox* CheckBox1;
  QLineEdit *Edit1, *Edit2, *Edit3, *Edit4;

  // Fills the controls from column Column (3 saved, 4 running) of sp_configure; a failed
  // reading raises after the SQL error report has shown it.
  void LoadConfiguration(int Column);
  // The statements that write the dialog's settings, in the order they are sent; a field that
  // holds no whole number is left out and named in Wrong.
  std::vector<std::string> Statements(std::vector<QString>& Wrong) const;
  void ApplyMemoryMode();

 protected:
  void showEvent(QShowEvent* Event) override;

 private:
  TForm1& FForm;
};

// True when Text is a whole number that an int option of the server can hold.
bool IsWholeNumber(const QString& Text);

// The track bars' maximum in whole megabytes: this machine's physical memory for a server on
// it; for a server elsewhere its own (xp_msver's PhysicalMemory), since the settings are the
// server's, falling back to this machine's when the server does not say.
int ServerMemoryMegabytes(TForm1& Form);

void ConfigureServer(TForm1& Form);

}  // namespace vandrel::app::admin
