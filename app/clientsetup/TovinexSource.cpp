#include "app/clientsetup/TovinexSource.h"

#include <QStringList>

#include "app/ConnectionString.h"
#include "app/admin/OdbcAdminDlg.h"
#include "app/clientsetup/TovinexPassword.h"
#include "platform/ClientSetupFiles.h"
#include "platform/FileTransaction.h"

namespace vandrel::app::clientsetup {
namespace {

// A file that cannot be read counts as empty: the writer itself says why it failed.
std::string ClientFileText(const std::string& File) {
  try {
    return platform::ReadFileText(File);
  } catch (...) {
    return {};
  }
}

}  // namespace

std::string ServerAsReached(TCommandContext& Context) {
  const std::string Server = Context.ServerAsNamed();
  return Server.empty() ? "(local)" : Server;
}

bool TestTovinexSource(const std::string& Database, const std::string& Login, std::string& Failure) {
  Failure.clear();
  return admin::TestOdbcConnection("DSN=" + BraceConnectionValue(Database) + ";UID=" + BraceConnectionValue(Login) +
                                       ";PWD=" + BraceConnectionValue(TovinexPassword(Database)) + ";",
                                   Failure);
}

TClientFiles::TClientFiles() {
  try {
    for (const std::string& File : platform::ClientSetupFiles()) FBefore.emplace_back(File, ClientFileText(File));
  } catch (...) {
    FBefore.clear();  // no store to name: the writer reports it
  }
}

std::vector<std::string> TClientFiles::Changed() const {
  std::vector<std::string> Files;
  for (const auto& [File, Text] : FBefore)
    if (ClientFileText(File) != Text) Files.push_back(File);
  return Files;
}

QString TovinexSourceSummary(const std::string& Database, const std::string& Login, const std::string& Server,
                             const std::vector<std::string>& Files) {
  QStringList Written;
  for (const std::string& File : Files) Written << QStringLiteral("  ") + QString::fromStdString(File);
  return QStringLiteral("Źródło danych ODBC: %1\nLogin: %2 (hasło Tovinex tej bazy)\nSerwer: %3\nZapisane pliki:\n%4")
      .arg(QString::fromStdString(Database), QString::fromStdString(Login), QString::fromStdString(Server),
           Written.isEmpty() ? QStringLiteral("  (bez zmian: wpisy były już takie same)") : Written.join('\n'));
}

}  // namespace vandrel::app::clientsetup
