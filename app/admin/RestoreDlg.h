#pragma once
// The restore dialog: a backup file on the server's disk, the backups it holds (name, date,
// database, size) and the files of the chosen one, where the backup goes (over the database
// it came from, or as a new database under a name given here), and "Sprawdź kopię".
#include <QDialog>
#include <string>
#include <vector>

#include "app/CommandContext.h"
#include "app/admin/Restore.h"

class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;
class QTreeWidget;

namespace vandrel::app::admin {

class TRestoreDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TRestoreDlg(TCommandContext& Context);

  QLineEdit* FileEdit;
  QToolButton* BrowseBtn;
  QPushButton* ReadBtn;
  QTreeWidget* SetList;   // Nazwa, Data, Baza, Rozmiar
  QTreeWidget* FileList;  // Plik logiczny, Plik na dysku serwera, Rodzaj
  QRadioButton* OverRadio;
  QRadioButton* NewRadio;
  QLineEdit* NameEdit;
  QPushButton* VerifyBtn;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

  // Lists the backups of File (the one typed when empty); a file the server cannot read
  // leaves both lists empty.
  void LoadFile(const QString& File = {});
  void BrowseBtnClick();
  // Selects the backup at Row of the list and lists its files.
  void ChooseSet(int Row);
  // Selects the backup the file holds at Position (as the server numbers them); false when
  // the file holds none there.
  bool ChoosePosition(int Position);
  void VerifyBtnClick();
  void OKBtnClick();

  const TBackupSet* SelectedSet() const;
  std::string LoadedFile() const { return FFile; }
  bool AsNew() const;
  std::string NewName() const;

  static const QString kTitle;

 private:
  void ShowFiles();
  void UpdateButtons();

  TCommandContext& FContext;
  std::string FFile;
  std::vector<TBackupSet> FSets;
};

}  // namespace vandrel::app::admin
