#pragma once
// "Odtwórz bazę z kopii...": the backups a file on the server's disk holds and the files of
// each, a check of a backup, and a restore either over the database it came from or as a new
// database whose files go into the server's data directory under the new name.
#include <QHash>
#include <QString>
#include <string>
#include <vector>

#include "app/CommandContext.h"

class QWidget;

namespace vandrel::app::admin {

// One backup of a file, as RESTORE HEADERONLY lists it.
struct TBackupSet {
  int Position = 0;
  std::string Name, Description, Database, Finished;
  std::string Size;  // bytes, as the server wrote them
};

// One database file of a backup, as RESTORE FILELISTONLY lists it.
struct TBackupFile {
  std::string Logical, Physical;
  bool Log = false;
};

// The backups in File; false when the server could not read it (the error report has said why).
bool ListBackupSets(TCommandContext& Context, const std::string& File, std::vector<TBackupSet>& Sets);
bool ListBackupFiles(TCommandContext& Context, const std::string& File, int Position, std::vector<TBackupFile>& Files);

// RESTORE VERIFYONLY of one backup; reports the outcome. True when the backup is sound.
bool VerifyBackup(TCommandContext& Context, const std::string& File, int Position);

// Where each file goes when the backup is restored as NewName: the server's data directory
// (DataDirectory), the file's name with the source database's name at its start replaced by
// NewName (else NewName + "_" before it).
std::vector<std::string> MovedFileNames(const std::string& DataDirectory, const std::string& Source,
                                        const std::string& NewName, const std::vector<TBackupFile>& Files);

// When the newest backup that the server's history (msdb) knows in each file was made, by the
// file's path in lower case; files the server never wrote have none.
QHash<QString, QString> BackupDates(TCommandContext& Context);

// The question before a restore over the database the backup came from: true for "Tak".
bool ConfirmRestoreOver(QWidget* Parent, const TBackupSet& Set);
// Over the database the backup came from (asked already): the in-use guard, WITH REPLACE.
bool RestoreOver(TCommandContext& Context, const std::string& File, const TBackupSet& Set);
// As NewName: refused when that database or any of the new files exists; then WITH MOVE of
// every file, and the Tovinex set-up offered afterwards.
bool RestoreAsNew(TCommandContext& Context, const std::string& File, const TBackupSet& Set, const std::string& NewName);

// The menu command.
void RestoreCommand(TCommandContext& Context);
// The restore dialog with File read in and its backup at Position chosen, then the restore
// the user chose there.
void RestoreFromFile(TCommandContext& Context, const std::string& File, int Position);

}  // namespace vandrel::app::admin
