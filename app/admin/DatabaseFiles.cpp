#include "app/admin/DatabaseFiles.h"

#include <unistd.h>

#include <QLineEdit>
#include <QRegularExpression>

#include "app/DialogSeam.h"
#include "app/SqlQuoting.h"
#include "app/admin/ServerFileDlg.h"
#include "platform/FileSystem.h"
#include "platform/WindowsPaths.h"

namespace vandrel::app::admin {

namespace {

class TServerFiles : public TDatabaseFiles {
 public:
  explicit TServerFiles(TCommandContext& Context) : FContext(Context) {}
  QString Choose(const QString& Title, const QString& Filter, const QString& Directory) override {
    return ChooseOnServer(FContext, Title, Filter, Directory.isEmpty() ? DefaultDirectory() : Directory);
  }
  bool Exists(const QString& Path) override { return ServerFileExists(FContext, Path); }
  QString DefaultDirectory() override { return MasterDataDirectory(FContext); }

 private:
  TCommandContext& FContext;
};

// A server on this machine: the ordinary file chooser where the server's directory lies on
// this machine's disk, the server's own view of its disk where it does not (a server whose
// data directory has no place here, as a chooser opened in the home directory would offer
// files the server cannot reach). A chosen file the server cannot see is refused at once.
class TLocalFiles : public TDatabaseFiles {
 public:
  explicit TLocalFiles(TCommandContext& Context) : FContext(Context), FServer(Context) {}
  // Directory is the server's; on this machine it lies where the path mapping puts a Windows
  // path (a server's own Linux path stays as it is).
  QString Choose(const QString& Title, const QString& Filter, const QString& Directory) override {
    const std::string Local = Directory.isEmpty() ? std::string() : platform::LocalPathOf(Directory.toStdString());
    if (!Directory.isEmpty() && !platform::DirectoryExists(Local)) return FServer.Choose(Title, Filter, Directory);
    const QString Chosen =
        DialogSeam::Current().OpenFileName(FContext.DialogParent(), Title, QString::fromStdString(Local), Filter);
    if (Chosen.isEmpty() || ServerSeesDirectoryOf(FContext, Chosen) != false) return Chosen;
    ShowMessage(FContext.DialogParent(),
                QStringLiteral("Serwer nie widzi pliku \"%1\": katalog %2 nie istnieje na dysku serwera. "
                               "Wybierz plik w katalogu danych serwera albo w innym katalogu, który serwer widzi.")
                    .arg(Chosen, FolderOf(Chosen)),
                Title, MsgIcon::Error);
    return {};
  }
  bool Exists(const QString& Path) override {
    return IsServerPath(Path) ? FServer.Exists(Path) : platform::FileExists(Path.toStdString());
  }
  QString DefaultDirectory() override { return QString::fromStdString(ServerDataDirectory(FContext)); }

 private:
  TCommandContext& FContext;
  TServerFiles FServer;
};

}  // namespace

QString TDatabaseFiles::DirectoryOf(const QString& Path) {
  const int slash = std::max(Path.lastIndexOf('\\'), Path.lastIndexOf('/'));
  return slash < 0 ? QString() : Path.left(slash + 1);
}

QString TDatabaseFiles::FolderOf(const QString& Path) {
  QString dir = DirectoryOf(Path);
  if (dir.size() > 3) dir.chop(1);
  return dir;
}

QString MasterDataDirectory(TCommandContext& Context) {
  const QString master = QString::fromStdString(
      Context.QueryScalar("select filename from sysaltfiles where dbid=1 and fileid=1", "master").Value);
  return TDatabaseFiles::FolderOf(master.trimmed());
}

std::string ServerRegistryValue(TCommandContext& Context, const std::string& Value) {
  try {
    return Context.QueryField(
        "xp_instance_regread N'HKEY_LOCAL_MACHINE', "
        "N'SOFTWARE\\Microsoft\\MSSQLServer\\MSSQLServer', N'" +
            EscapeLiteral(Value) + "'",
        1, "master");
  } catch (...) {
    return {};
  }
}

std::string ServerBackupDirectory(TCommandContext& Context) {
  const std::string directory = ServerRegistryValue(Context, "BackupDirectory");
  return directory.empty() ? MasterDataDirectory(Context).toStdString() : directory;
}

std::string ServerDataDirectory(TCommandContext& Context) {
  const std::string directory = ServerRegistryValue(Context, "DefaultData");
  return directory.empty() ? MasterDataDirectory(Context).toStdString() : directory;
}

bool ServerIsThisMachine(TCommandContext& Context) {
  QString host = QString::fromStdString(Context.ServerAsNamed()).trimmed();
  const int cut = host.indexOf(QRegularExpression(QStringLiteral("[\\\\,]")));
  if (cut >= 0) host.truncate(cut);
  char name[256] = {0};
  gethostname(name, sizeof name - 1);
  return host.compare("(local)", Qt::CaseInsensitive) == 0 || host == "." ||
         host.compare("localhost", Qt::CaseInsensitive) == 0 ||
         (name[0] && host.compare(QString::fromLocal8Bit(name), Qt::CaseInsensitive) == 0);
}

bool IsServerPath(const QString& Path) {
  static const QRegularExpression windows(QStringLiteral("^([A-Za-z]:[\\\\/]|\\\\\\\\)"));
  return windows.match(Path).hasMatch();
}

QString ChooseOnServer(TCommandContext& Context, const QString& Title, const QString& Filter, const QString& Directory,
                       const QHash<QString, QString>& Dates) {
  TServerFileDlg Dlg(Context, Title, Filter);
  Dlg.FileDates = Dates;
  Dlg.OpenDirectory(Directory);
  if (DialogSeam::Current().ExecDialog(&Dlg) != QDialog::Accepted) return {};
  return Dlg.FileName();
}

std::unique_ptr<TDatabaseFiles> ServerDatabaseFiles(TCommandContext& Context) {
  if (ServerIsThisMachine(Context)) return std::make_unique<TLocalFiles>(Context);
  return std::make_unique<TServerFiles>(Context);
}

}  // namespace vandrel::app::admin
