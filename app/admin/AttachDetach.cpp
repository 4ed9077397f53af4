#include "app/admin/AttachDetach.h"

#include <QCheckBox>
#include <QLineEdit>
#include <cctype>
#include <strings.h>

#include "app/DialogSeam.h"
#include "app/MainWindow.h"
#include "app/ProcessFlags.h"
#include "app/SqlQuoting.h"
#include "app/admin/CommandReport.h"
#include "app/admin/InUseGuard.h"
#include "app/admin/PodlPlik.h"
#include "app/admin/RunStatement.h"
#include "app/admin/TableOwner.h"
#include "app/clientsetup/TovinexPassword.h"
#include "app/clientsetup/TovinexRegistry.h"
#include "platform/Registry.h"

namespace vandrel::app::admin {

namespace {

// A value inside a quoted literal of the statement.
std::string Lit(const std::string& Value) { return EscapeLiteral(Value); }

// The texts of column Column (from 0) of every row of Query; rows without it are skipped.
std::vector<std::string> ColumnOf(TForm1& Form, const std::string& Query, int Column) {
  Form.KMQuery1->Close();
  Form.KMQuery1->GetSQL().Clear();
  Form.KMQuery1->GetSQL().Add(Query);
  Form.KMQuery1->Open();
  std::vector<std::string> Values;
  if (Column < Form.KMQuery1->GetFieldCount()) {
    for (; !Form.KMQuery1->GetEof(); Form.KMQuery1->Next())
      Values.push_back(Form.KMQuery1->GetFields()->GetFields(Column)->GetEditText());
  }
  Form.KMQuery1->Close();
  return Values;
}

bool SameName(const std::string& A, const std::string& B) { return strcasecmp(A.c_str(), B.c_str()) == 0; }

std::string Lower(const std::string& Text) { return QString::fromStdString(Text).toLower().toStdString(); }

// The login Tovinex uses: the database name, numbered on until no login has it. The server
// compares login names without regard to case, and so does the numbering.
std::string FreeLoginName(TForm1& Form, const std::string& Database) {
  const std::vector<std::string> Logins = ColumnOf(Form, "select name from syslogins", 0);
  std::string Login = Database;
  for (size_t I = 0; I < Logins.size();) {
    if (SameName(Logins[I], Login)) {
      Login = NextLoginName(Login);
      I = 0;
    } else {
      ++I;
    }
  }
  return Login;
}

}  // namespace

void PostAttachSetUp(TForm1& Form, const std::string& D, bool Archive) {
  RunStatement(Form, "use " + QuoteIdentifier(D));
  std::string User;
  bool SeveralOwners = false;
  for (const std::string& Owner : ColumnOf(Form, "sp_tables @table_type = \"'TABLE'\"", 1)) {
    if (Lower(Owner) == "dbo") continue;
    if (User.empty()) {
      User = Owner;
    } else if (Owner != User) {
      SeveralOwners = true;
    }
  }
  if (SeveralOwners || User.empty()) User = "dba";

  bool UserExists = false;
  for (const std::string& Name : ColumnOf(Form, "sp_helpuser", 0)) UserExists = UserExists || SameName(Name, User);

  RunStatement(Form, "use master");
  const std::string Login = FreeLoginName(Form, D);
  RunStatement(Form, "sp_addlogin '" + Lit(Login) + "', '" + clientsetup::TovinexPassword(D) + "', '" + Lit(D) + "'");
  RunStatement(Form, "use " + QuoteIdentifier(D));
  if (!UserExists) RunStatement(Form, "sp_adduser '" + Lit(Login) + "','" + Lit(User) + "','db_owner'");
  RunStatement(Form, "sp_change_users_login 'update_one','" + Lit(User) + "','" + Lit(Login) + "'");

  // Tovinex logs in with the Tovinex key's UserId and detach drops the login it names, so
  // the key names the login made above (the database user may be "dba" or a table owner).
  const std::string Server = Form.ServerName.find('\\') != std::string::npos ? Form.ServerName : "(local)";
  clientsetup::WriteTovinexEntries(Form, D, Login, Server, clientsetup::TNetworkLibrary::TcpIp, Archive);

  if (SeveralOwners &&
      ShowMessage(&Form,
                  QStringLiteral("Niektóre tabele należą do innych userów. W takiej sytuacji Tovinex może nie "
                                 "zobaczyć wszystkich danych! Czy chcesz to naprawić?"),
                  QStringLiteral("Uwaga!"), MsgIcon::Question, mbYes | mbNo) == mbYes) {
    ChangeTableOwner(Form, D, "dbo");
  }
}

namespace {

bool Attach(TForm1& Form, const std::string& Name, const std::string& DataFile, const std::string& Statement,
            bool Archive) {
  StatementOk = true;
  if (Name.empty()) {
    ShowMessage(&Form, QStringLiteral("Nie podano nazwy bazy"), QStringLiteral("Błąd"), MsgIcon::Error);
    return false;
  }
  try {
    Form.EnsureConnected();
    Form.KMQuery1->Close();
    if (DataFile.empty()) return false;
    RunStatement(Form, "use master");
    RunStatement(Form, Statement);
    PostAttachSetUp(Form, Name, Archive);
    RunStatement(Form, "use master");
    Form.KMQuery1->Close();
    return StatementOk;
  } catch (...) {
    return false;
  }
}

}  // namespace

std::string NextLoginName(const std::string& Login) {
  if (Login.empty() || !std::isdigit(static_cast<unsigned char>(Login.back()))) return Login + "1";
  return Login.substr(0, Login.size() - 1) + std::to_string(Login.back() - '0' + 1);
}

bool AttachSingleFile(TForm1& Form, const std::string& Name, const std::string& DataFile, bool Archive) {
  return Attach(Form, Name, DataFile, "sp_attach_single_file_db '" + Lit(Name) + "','" + Lit(DataFile) + "'",
                Archive);
}

bool AttachWithLog(TForm1& Form, const std::string& Name, const std::string& DataFile, const std::string& LogFile,
                   bool Archive) {
  return Attach(Form, Name, DataFile,
                "sp_attach_db @dbname = N'" + Lit(Name) + "',@filename1 = N'" + Lit(DataFile) +
                    "',@filename2 = N'" + Lit(LogFile) + "'",
                Archive);
}

void AttachDatabaseCommand(TForm1& Form) {
  TPodlPlik& Dlg = TPodlPlik::Of(Form);
  Dlg.FormShow();
  if (DialogSeam::Current().ExecDialog(&Dlg) != QDialog::Accepted) return;
  const std::string Name = Dlg.Edit1->text().toStdString();
  const std::string DataFile = Dlg.Edit3->text().toStdString();
  const std::string LogFile = Dlg.Edit4->text().toStdString();
  const bool Archive = Dlg.BlokadaCheck->isChecked();
  const bool Attached = LogFile.empty() ? AttachSingleFile(Form, Name, DataFile, Archive)
                                        : AttachWithLog(Form, Name, DataFile, LogFile, Archive);
  if (!Attached) return;
  ShowMessage(&Form, QStringLiteral("Baza została podlaczona"), QStringLiteral("Dodawanie nowej bazy"),
              MsgIcon::Information);
  Form.RefreshTree();
}

namespace {

// The login Tovinex used for the database: the UserId of its Tovinex key, else its name.
std::string TovinexLogin(const std::string& Name) {
  try {
    platform::TRegistry Reg(platform::HKEY_LOCAL_MACHINE);
    if (Reg.OpenKeyReadOnly(clientsetup::kTovinexDatabaseKey + Name) && Reg.ValueExists("UserId")) {
      const std::string UserId = Reg.ReadString("UserId");
      if (!UserId.empty()) return UserId;
    }
  } catch (const std::exception&) {
  }
  return Name;
}

}  // namespace

void DetachDatabase(TForm1& Form, const std::string& Name) {
  if (Name.empty()) return;
  const QString caption = QStringLiteral("Odlaczanie baz"), name = QString::fromStdString(Name);
  Form.DisableDatabaseCommands();
  Form.EnsureConnected();
  TStopReadBack readBack(Form);
  TStepOutcome outcome = Form.RunStep("use master");
  if (outcome == TStepOutcome::soDone) outcome = Form.RunStep("sp_detach_db " + UnicodeLiteral(Name));
  // A detach stopped with "Przerwij" may have been done all the same: the server says.
  const bool detached = outcome == TStepOutcome::soDone ||
                        (outcome == TStepOutcome::soStopped && DatabaseIdentifier(Form, Name).empty());
  const std::string login = TovinexLogin(Name);
  if (outcome == TStepOutcome::soDone) {
    // A failed detach drops no login; a failed drop leaves the database detached.
    if (Form.RunStep(" sp_droplogin '" + Lit(login) + "'") == TStepOutcome::soDone)
      ShowMessage(&Form, QStringLiteral("Baza została odlaczona"), caption, MsgIcon::Information);
    else
      ShowMessage(&Form, QStringLiteral("Baza \"%1\" została odłączona, ale jej login \"%2\" nie został usunięty.")
                             .arg(name, QString::fromStdString(login)),
                  caption, MsgIcon::Warning);
  } else if (outcome == TStepOutcome::soStopped) {
    ShowMessage(&Form, detached ? QStringLiteral("Polecenie zostało przerwane, ale baza \"%1\" została odłączona; jej login "
                                                 "\"%2\" nie został usunięty.").arg(name, QString::fromStdString(login))
                                : QStringLiteral("Polecenie zostało przerwane; baza \"%1\" nie została odłączona.").arg(name),
                caption, MsgIcon::Information);
  }
  Form.KMQuery1->Close();
  Form.DisableDatabaseCommands();
}

void DetachDatabaseCommand(TForm1& Form) {
  const std::string name = Form.SelectedDatabaseNode();
  if (!name.empty() &&
      !Confirm(&Form, QStringLiteral("Czy odłączyć bazę \"%1\" od serwera? Programy stracą do niej dostęp, a jej login "
                                     "zostanie usunięty.").arg(QString::fromStdString(name)),
               QStringLiteral("Odlaczanie baz")))
    return;
  if (!DatabaseInUse(Form, Form.SelectedDatabase())) DetachDatabase(Form, name);
  Form.RefreshTree();
}

}  // namespace vandrel::app::admin
