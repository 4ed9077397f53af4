#pragma once
// Where the database files to attach are chosen: the server's own disk. When the server runs
// on this machine, that is the local disk and the ordinary file chooser serves; otherwise the
// disk is browsed through the server itself (xp_dirtree, xp_fileexist), as SQL Server's own
// management tools do, in TServerFileDlg.
#include <QHash>
#include <QString>
#include <memory>
#include <string>

#include "app/CommandContext.h"
#include "app/ServerPaths.h"

namespace vandrel::app::admin {

class TDatabaseFiles {
 public:
  virtual ~TDatabaseFiles() = default;
  // The chosen file's full path, or empty when the user cancelled.
  virtual QString Choose(const QString& Title, const QString& Filter, const QString& Directory) = 0;
  virtual bool Exists(const QString& Path) = 0;
  // The server's default data directory when the registry names none, as the server names it.
  virtual QString DefaultDirectory() = 0;
  // The directory part of a path, with its separator.
  static QString DirectoryOf(const QString& Path);
  // The same without the closing separator, but "C:\" for a drive's root.
  static QString FolderOf(const QString& Path);
};

// The directory of master's data file, without a closing separator (but "C:\" for a
// drive's root): where the server keeps its databases.
QString MasterDataDirectory(TCommandContext& Context);

// A value of the server's own registry key, SOFTWARE\Microsoft\MSSQLServer\MSSQLServer, as
// the server reads it (BackupDirectory, DefaultData); empty when it holds none.
std::string ServerRegistryValue(TCommandContext& Context, const std::string& Value);
// Where the server puts backups (BackupDirectory) and new database files (DefaultData),
// each else the directory of master's data file.
std::string ServerBackupDirectory(TCommandContext& Context);
std::string ServerDataDirectory(TCommandContext& Context);

// True when the server the window connected to is named as this machine: "(local)", ".",
// "localhost" or this machine's host name (an instance or a port after it changes nothing).
// An address, even this machine's own, is browsed through the server, whose view of its disk
// is the one that counts.
bool ServerIsThisMachine(TCommandContext& Context);

// The files of the server the window is connected to.
std::unique_ptr<TDatabaseFiles> ServerDatabaseFiles(TCommandContext& Context);

// A path in the server's own form, "C:\..." or "\\machine\share\...": only the server sees it,
// wherever the server runs.
bool IsServerPath(const QString& Path);

// The chooser over the server's disk (xp_dirtree), opened at Directory; Dates shown beside the
// files (by full path in lower case). The chosen file's full path, or empty when cancelled.
QString ChooseOnServer(TCommandContext& Context, const QString& Title, const QString& Filter, const QString& Directory,
                       const QHash<QString, QString>& Dates = {});

}  // namespace vandrel::app::admin
