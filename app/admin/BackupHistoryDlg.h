#pragma once
// The "Historia kopii" window: the backups of one database, newest first (finished, kind,
// size, duration, file, whether the file is still on the server's disk), a note on the chosen
// one, "Sprawdź kopię" (RESTORE VERIFYONLY, said here) and "Odtwórz", which closes the window
// for the restore dialog on that backup.
#include <QDialog>
#include <string>
#include <vector>

#include "app/CommandContext.h"
#include "app/admin/BackupHistory.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace vandrel::app::admin {

class TBackupHistoryDlg : public QDialog {
  Q_OBJECT
 public:
  TBackupHistoryDlg(TCommandContext& Context, const std::string& Database, std::vector<TBackupHistoryEntry> Entries);

  QTreeWidget* HistoryList;  // Zakończona, Rodzaj, Rozmiar, Czas trwania, Plik, Plik na dysku
  QLabel* NoteLabel;
  QPushButton* VerifyBtn;
  QPushButton* RestoreBtn;
  QPushButton* CloseBtn;

  // The backup chosen in the list, or none.
  const TBackupHistoryEntry* Selected() const;
  void VerifyBtnClick();
  void RestoreBtnClick();

 private:
  void ShowChosen();

  TCommandContext& FContext;
  std::string FDatabase;
  std::vector<TBackupHistoryEntry> FEntries;
};

}  // namespace vandrel::app::admin
