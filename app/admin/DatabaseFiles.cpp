#include "app/admin/DatabaseFiles.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <unistd.h>

#include "app/DialogSeam.h"
#include "app/MainWindow.h"
#include "app/PasswordDlg.h"
#include "app/SqlQuoting.h"
#include "app/admin/ServerFileDlg.h"
#include "platform/FileSystem.h"

namespace vandrel::app::admin {

namespace {

class TLocalFiles : public TDatabaseFiles {
 public:
  explicit TLocalFiles(TForm1& Form) : FForm(Form) {}
  QString Choose(const QString& Title, const QString& Filter, const QString& Directory) override {
    return DialogSeam::Current().OpenFileName(&FForm, Title, Directory, Filter);
  }
  bool Exists(const QString& Path) override { return platform::FileExists(Path.toStdString()); }
  QString DefaultDirectory() override { return {}; }

 private:
  TForm1& FForm;
};

class TServerFiles : public TDatabaseFiles {
 public:
  explicit TServerFiles(TForm1& Form) : FForm(Form) {}
  QString Choose(const QString& Title, const QString& Filter, const QString& Directory) override {
    return ChooseOnServer(FForm, Title, Filter, Directory.isEmpty() ? DefaultDirectory() : Directory);
  }
  bool Exists(const QString& Path) override { return ServerFileExists(FForm, Path); }
  QString DefaultDirectory() override { return MasterDataDirectory(FForm); }

 private:
  TForm1& FForm;
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

QString MasterDataDirectory(TForm1& Form) {
  const QString master =
      QString::fromStdString(Form.QueryScalar("select filename from sysaltfiles where dbid=1 and fileid=1", "master"));
  return TDatabaseFiles::FolderOf(master.trimmed());
}

std::string ServerRegistryValue(TForm1& Form, const std::string& Value) {
  try {
    return Form.QueryField("xp_instance_regread N'HKEY_LOCAL_MACHINE', "
                           "N'SOFTWARE\\Microsoft\\MSSQLServer\\MSSQLServer', N'" + EscapeLiteral(Value) + "'",
                           1, "master");
  } catch (...) {
    return {};
  }
}

std::string ServerBackupDirectory(TForm1& Form) {
  const std::string directory = ServerRegistryValue(Form, "BackupDirectory");
  return directory.empty() ? MasterDataDirectory(Form).toStdString() : directory;
}

std::string ServerDataDirectory(TForm1& Form) {
  const std::string directory = ServerRegistryValue(Form, "DefaultData");
  return directory.empty() ? MasterDataDirectory(Form).toStdString() : directory;
}

bool ServerIsThisMachine(TForm1& Form) {
  const std::string typed = Form.PasswordDlg && !Form.ConnectionString.empty()
                                ? Form.PasswordDlg->Edit1->text().toStdString()
                                : Form.ConnectionStringValue("SERVER");
  QString host = QString::fromStdString(typed).trimmed();
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

QString ChooseOnServer(TForm1& Form, const QString& Title, const QString& Filter, const QString& Directory,
                       const QHash<QString, QString>& Dates) {
  TServerFileDlg Dlg(Form, Title, Filter);
  Dlg.FileDates = Dates;
  Dlg.OpenDirectory(Directory);
  if (DialogSeam::Current().ExecDialog(&Dlg) != QDialog::Accepted) return {};
  return Dlg.FileName();
}

std::unique_ptr<TDatabaseFiles> ServerDatabaseFiles(TForm1& Form) {
  if (ServerIsThisMachine(Form)) return std::make_unique<TLocalFiles>(Form);
  return std::make_unique<TServerFiles>(Form);
}

}  // namespace vandrel::app::admin
