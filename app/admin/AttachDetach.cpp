#include "app/admin/AttachDetach.h"

#include <QCheckBox>
#include <QLineEdit>
#include <algorithm>
#include <cctype>

#include "app/DialogSeam.h"
#include "app/QtText.h"
#include "app/SqlQuoting.h"
#include "app/admin/CommandReport.h"
#include "app/admin/InUseGuard.h"
#include "app/admin/PodlPlik.h"
#include "app/admin/TableOwner.h"
#include "app/clientsetup/TovinexLogin.h"
#include "app/clientsetup/TovinexPassword.h"
#include "app/clientsetup/TovinexRegistry.h"
#include "app/clientsetup/TovinexSource.h"

namespace vandrel::app::admin {

namespace {

using clientsetup::TovinexUserOf;

// A value inside a quoted literal of the statement.
std::string Lit(const std::string& Value) { return EscapeLiteral(Value); }

// The texts of the columns Wanted (from 0) of every row of Query, run in the current
// database, row after row.
TStepOutcome ReadColumns(TCommandContext& Context, const std::string& Query, const std::vector<size_t>& Wanted,
                         std::vector<std::string>& Values) {
  Values.clear();
  TextList List;
  const TStepOutcome Outcome = Context.OpenStep(Query, List);
  const size_t Columns = List.empty() ? 0 : std::stoul(List[0]);
  if (std::any_of(Wanted.begin(), Wanted.end(), [&](size_t Column) { return Column >= Columns; })) return Outcome;
  for (size_t Row = 1; Row + Columns <= List.size(); Row += Columns)
    for (size_t Column : Wanted) Values.push_back(List[Row + Column]);
  return Outcome;
}

bool SameNameIgnoringCase(const std::string& A, const std::string& B) { return Q(A).compare(Q(B), Qt::CaseInsensitive) == 0; }

// The login Tovinex uses: the database name, numbered on until no login has it. The server
// compares login names without regard to case, and so does the numbering.
std::string FreeLoginName(const std::vector<std::string>& Logins, const std::string& Database) {
  std::string Login = Database;
  for (size_t I = 0; I < Logins.size();) {
    if (SameNameIgnoringCase(Logins[I], Login)) {
      Login = NextLoginName(Login);
      I = 0;
    } else {
      ++I;
    }
  }
  return Login;
}

// The steps of the set-up, each run only while all before it were done.
class TSetUpSteps {
 public:
  TSetUpSteps(TCommandContext& Context, TSetUpResult& Result) : FContext(Context), FResult(Result) {}
  bool Run(const std::string& Statement, const char* Name) {
    return Note(FResult.Outcome == TStepOutcome::soDone ? FContext.RunStep(Statement) : FResult.Outcome, Name);
  }
  bool Read(const std::string& Query, const std::vector<size_t>& Columns, std::vector<std::string>& Values) {
    return Note(FResult.Outcome == TStepOutcome::soDone ? ReadColumns(FContext, Query, Columns, Values) : FResult.Outcome,
                Query.c_str());
  }

 private:
  bool Note(TStepOutcome Outcome, const char* Name) {
    if (FResult.Outcome == TStepOutcome::soDone && Outcome != TStepOutcome::soDone) FResult.Failed = Name;
    FResult.Outcome = Outcome;
    return Outcome == TStepOutcome::soDone;
  }
  TCommandContext& FContext;
  TSetUpResult& FResult;
};

// Takes back what a set-up that stopped half-way made: the user it added, then the login,
// each on a connection made afresh when the failure was the connection's.
void TakeBack(TCommandContext& Context, const std::string& D, const std::string& User, bool UserMade,
              TSetUpResult& Result) {
  const std::string Login = Result.Login;
  if (UserMade && Context.ExecStep("sp_dropuser '" + Lit(User) + "'", D) != TStepOutcome::soDone) {
    Result.Undone = "Login \"" + Login + "\" i użytkownik \"" + User +
                    "\" bazy, utworzeni przez przygotowanie, "
                    "nie zostali usunięci.";
    return;
  }
  if (Context.ExecStep("sp_droplogin '" + Lit(Login) + "'", "master") == TStepOutcome::soDone) {
    Result.Undone = UserMade ? "Login \"" + Login + "\" i użytkownik \"" + User +
                                   "\" bazy, utworzeni przez przygotowanie, zostali usunięci."
                             : "Login \"" + Login + "\", utworzony przez przygotowanie, został usunięty.";
  } else {
    Result.Undone = "Login \"" + Login + "\", utworzony przez przygotowanie, nie został usunięty.";
  }
  Context.RunStep("use master");
}

}  // namespace

TSetUpResult MakeTovinexLogin(TCommandContext& Context, const std::string& D) {
  TSetUpResult Result;
  TSetUpSteps Steps(Context, Result);
  std::vector<std::string> Owners, Users, Logins;
  if (!Steps.Run("use " + QuoteIdentifier(D), "use") || !Steps.Read("sp_tables @table_type = \"'TABLE'\"", {1}, Owners))
    return Result;
  clientsetup::TTovinexUser User = TovinexUserOf(Owners);
  // sp_helpuser: the user's name, then (third column) the login whose SID it carries, empty
  // for a user whose login this server does not have.
  std::vector<std::string> UserLogins;
  if (!Steps.Read("sp_helpuser", {0, 2}, UserLogins) || !Steps.Run("use master", "use master") ||
      !Steps.Read("select name from syslogins", {0}, Logins))
    return Result;
  std::string UserLogin;
  bool UserExists = false;
  for (size_t I = 0; I + 1 < UserLogins.size(); I += 2)
    if (SameNameIgnoringCase(UserLogins[I], User.Name)) {
      UserExists = true;
      UserLogin = UserLogins[I + 1];
    }
  Result.Login = FreeLoginName(Logins, D);
  // A user whose login is on the server belongs to whoever logs in with it: it stays theirs,
  // and the Tovinex login gets a user of its own, named like it. Only an orphaned user is tied.
  if (UserExists && !UserLogin.empty()) {
    Result.KeptUser = User.Name;
    Result.KeptUserLogin = UserLogin;
    User.Name = Result.Login;
    UserExists = false;
  }
  {
    // A stop of sp_addlogin is read back below rather than reported as a plain stop.
    TStopReadBack ReadBack(Context);
    Steps.Run("sp_addlogin '" + Lit(Result.Login) + "', '" + clientsetup::TovinexPassword(D) + "', '" + Lit(D) + "'",
              "sp_addlogin");
  }
  const bool LoginMade =
      Result.Outcome == TStepOutcome::soDone ||
      (Result.Outcome == TStepOutcome::soStopped &&
       Context.QueryScalar("select count(*) from syslogins where name = " + UnicodeLiteral(Result.Login), "master").Value ==
           "1");
  if (!LoginMade) return Result;
  const bool UserMade =
      !UserExists && Steps.Run("use " + QuoteIdentifier(D), "use") &&
      Steps.Run("sp_adduser '" + Lit(Result.Login) + "','" + Lit(User.Name) + "','db_owner'", "sp_adduser");
  if (UserExists) Steps.Run("use " + QuoteIdentifier(D), "use");
  if (Result.KeptUser.empty())
    Steps.Run("sp_change_users_login 'update_one','" + Lit(User.Name) + "','" + Lit(Result.Login) + "'",
              "sp_change_users_login");
  if (Result.Outcome != TStepOutcome::soDone) TakeBack(Context, D, User.Name, UserMade, Result);
  Result.SeveralOwners = User.SeveralOwners;
  return Result;
}

TSetUpResult PostAttachSetUp(TCommandContext& Context, const std::string& D, bool Archive) {
  TSetUpResult Result = MakeTovinexLogin(Context, D);
  if (Result.Outcome != TStepOutcome::soDone) return Result;
  // Tovinex logs in with the Tovinex key's UserId and detach drops the login it names, so
  // the key names the login made above (the database user may be "dba" or a table owner).
  // The data sources reach the server the way this tool reached it.
  Result.Server = clientsetup::ServerAsReached(Context);
  const clientsetup::TClientFiles Files;
  Result.EntriesWritten = clientsetup::WriteTovinexEntries(Context, D, Result.Login, Result.Server,
                                                           clientsetup::TNetworkLibrary::TcpIp, Archive);
  Result.FilesWritten = Files.Changed();
  if (Result.EntriesWritten) clientsetup::TestTovinexSource(D, Result.Login, Result.SourceFailure);

  if (Result.SeveralOwners &&
      ShowMessage(Context.DialogParent(),
                  QStringLiteral("Niektóre tabele należą do innych userów. W takiej sytuacji Tovinex może nie "
                                 "zobaczyć wszystkich danych! Czy chcesz to naprawić?"),
                  QStringLiteral("Uwaga!"), MsgIcon::Question, mbYes | mbNo) == mbYes) {
    ChangeTableOwner(Context, D, "dbo");
  }
  return Result;
}

namespace {

// Runs the attach statement and, once the server holds the database, its set-up. A statement
// stopped with "Przerwij" or cut off with the connection may have been carried out: the
// server is asked whether it holds the database now.
TAttachResult Attach(TCommandContext& Context, const std::string& Name, const std::string& DataFile,
                     const std::string& Statement, bool Archive) {
  TAttachResult Result;
  if (Name.empty()) {
    ShowMessage(Context.DialogParent(), QStringLiteral("Nie podano nazwy bazy"), QStringLiteral("Błąd"),
                MsgIcon::Error);
    return Result;
  }
  if (!Context.EnsureConnected() || DataFile.empty()) return Result;
  TStepOutcome Outcome;
  {
    TStopReadBack ReadBack(Context);
    Outcome = Context.RunStep("use master");
    if (Outcome == TStepOutcome::soDone) Outcome = Context.RunStep(Statement);
  }
  if (Outcome == TStepOutcome::soDone) {
    Result.Attached = true;
    Result.SetUp = PostAttachSetUp(Context, Name, Archive);
    Context.RunStep("use master");
    return Result;
  }
  // A refusal of the server was shown by the error report; a stop or a lost connection leaves
  // the server's answer unknown until it is asked.
  if (Outcome == TStepOutcome::soFailed && Context.ProbeConnection()) return Result;
  Result.Attached = !DatabaseIdentifier(Context, Name).empty();
  Result.SetUp.Outcome = Outcome;
  Result.SetUp.Failed = "sp_attach_db";
  if (!Result.Attached)
    ShowMessage(Context.DialogParent(), QStringLiteral("Baza \"%1\" nie została podłączona.").arg(Q(Name)),
                QStringLiteral("Dodawanie nowej bazy"), MsgIcon::Information);
  return Result;
}

// What the attach command says once the server holds the database.
void ReportAttached(TCommandContext& Context, const std::string& Name, const TSetUpResult& SetUp) {
  const QString Caption = QStringLiteral("Dodawanie nowej bazy");
  if (SetUp.Complete()) {
    const QString kept =
        SetUp.KeptUser.empty()
            ? QString()
            : QStringLiteral("\n\nUżytkownik \"%1\" bazy należy do loginu \"%2\" i pozostał bez zmian; login "
                             "Tovinex \"%3\" dostał własnego użytkownika \"%3\".")
                  .arg(Q(SetUp.KeptUser), Q(SetUp.KeptUserLogin), Q(SetUp.Login));
    if (!SetUp.SourceFailure.empty()) {
      ShowMessage(Context.DialogParent(),
                  QStringLiteral("Baza \"%1\" została podłączona, ale jej źródło danych ODBC nie łączy się z "
                                 "serwerem:\n%2\n\n%3")
                          .arg(Q(Name), Q(SetUp.SourceFailure),
                               clientsetup::TovinexSourceSummary(Name, SetUp.Login, SetUp.Server, SetUp.FilesWritten)) +
                      kept,
                  Caption, MsgIcon::Warning);
      return;
    }
    ShowMessage(Context.DialogParent(), QStringLiteral("Baza została podlaczona") + kept, Caption, MsgIcon::Information);
    return;
  }
  if (SetUp.Outcome == TStepOutcome::soDone) {
    // The write's own message has said what failed and why.
    ShowMessage(Context.DialogParent(),
                QStringLiteral("Baza \"%1\" została podłączona i ma login \"%2\", ale wpisy dla programu Tovinex nie "
                               "zostały zapisane. Zapisz je poleceniem \"Utwórz połączenie sieciowe Tovinex\".")
                    .arg(Q(Name), Q(SetUp.Login)),
                Caption, MsgIcon::Warning);
    return;
  }
  ShowMessage(Context.DialogParent(),
              QStringLiteral("Baza \"%1\" została podłączona, ale nie została przygotowana dla programu Tovinex "
                             "(login, użytkownik bazy, wpisy w rejestrze): %2\n\nAby ją przygotować, odłącz bazę i "
                             "podłącz ją ponownie.")
                  .arg(Q(Name), Q(SetUpFailureText(SetUp))),
              Caption, MsgIcon::Warning);
}

}  // namespace

std::string SetUpFailureText(const TSetUpResult& SetUp) {
  const bool Stopped = SetUp.Outcome == TStepOutcome::soStopped;
  const std::string Step =
      SetUp.Failed == "sp_attach_db"
          ? (Stopped ? "polecenie podłączenia zostało przerwane" : "połączenie z serwerem zostało przerwane")
          : "polecenie " + SetUp.Failed + (Stopped ? " zostało przerwane" : " nie zostało wykonane");
  return Step + "." + (SetUp.Undone.empty() ? "" : " " + SetUp.Undone);
}

std::string NextLoginName(const std::string& Login) {
  if (Login.empty() || !std::isdigit(static_cast<unsigned char>(Login.back()))) return Login + "1";
  return Login.substr(0, Login.size() - 1) + std::to_string(Login.back() - '0' + 1);
}

TAttachResult AttachSingleFile(TCommandContext& Context, const std::string& Name, const std::string& DataFile,
                               bool Archive) {
  return Attach(Context, Name, DataFile, "sp_attach_single_file_db '" + Lit(Name) + "','" + Lit(DataFile) + "'",
                Archive);
}

TAttachResult AttachWithLog(TCommandContext& Context, const std::string& Name, const std::string& DataFile,
                            const std::string& LogFile, bool Archive) {
  return Attach(Context, Name, DataFile,
                "sp_attach_db @dbname = N'" + Lit(Name) + "',@filename1 = N'" + Lit(DataFile) + "',@filename2 = N'" +
                    Lit(LogFile) + "'",
                Archive);
}

void AttachDatabaseCommand(TCommandContext& Context) {
  TPodlPlik& Dlg = TPodlPlik::Of(Context);
  Dlg.FormShow();
  if (DialogSeam::Current().ExecDialog(&Dlg) != QDialog::Accepted) return;
  const std::string Name = Dlg.Edit1->text().toStdString();
  const std::string DataFile = Dlg.Edit3->text().toStdString();
  const std::string LogFile = Dlg.Edit4->text().toStdString();
  const bool Archive = Dlg.BlokadaCheck->isChecked();
  const TAttachResult Result = LogFile.empty() ? AttachSingleFile(Context, Name, DataFile, Archive)
                                               : AttachWithLog(Context, Name, DataFile, LogFile, Archive);
  if (!Result.Attached) return;
  ReportAttached(Context, Name, Result.SetUp);
  Context.RefreshTree();
}

void DetachDatabase(TCommandContext& Context, const std::string& Name) {
  if (Name.empty()) return;
  const QString caption = QStringLiteral("Odlaczanie baz"), name = Q(Name);
  Context.DisableDatabaseCommands();
  Context.EnsureConnected();
  // The login to drop is settled while the database is still there to say which login is its
  // own; a store that cannot be read ends the detach before anything is changed.
  std::string stored;
  try {
    stored = clientsetup::StoredUserId(Name);
  } catch (const std::exception& E) {
    ShowMessage(Context.DialogParent(),
                QStringLiteral("Baza \"%1\" nie została odłączona i żaden login nie został usunięty: nie można "
                               "odczytać, którego loginu Tovinex używa dla tej bazy.\n\n%2")
                    .arg(name, Q(clientsetup::RegistryFailureReason(E))),
                caption, MsgIcon::Error);
    Context.DisableDatabaseCommands();
    return;
  }
  const std::string candidate = stored.empty() ? Name : stored;
  std::string notOwn, login;
  {
    // A database gone meanwhile is said by the detach itself, once.
    TQuietErrors quiet(Context);
    login = clientsetup::LoginOfDatabase(Context, Name, candidate, notOwn);
  }
  TStopReadBack readBack(Context);
  TStepOutcome outcome = Context.RunStep("use master");
  if (outcome == TStepOutcome::soDone) outcome = Context.RunStep("sp_detach_db " + UnicodeLiteral(Name));
  // A detach stopped with "Przerwij" may have been done all the same: the server says.
  const bool detached = outcome == TStepOutcome::soDone ||
                        (outcome == TStepOutcome::soStopped && DatabaseIdentifier(Context, Name).empty());
  if (outcome == TStepOutcome::soDone && login.empty()) {
    ShowMessage(
        Context.DialogParent(),
        QStringLiteral("Baza została odlaczona\n\nLogin \"%1\" nie został usunięty: %2").arg(Q(candidate), Q(notOwn)),
        caption, MsgIcon::Information);
  } else if (outcome == TStepOutcome::soDone) {
    // A failed detach drops no login; a failed drop leaves the database detached.
    if (Context.RunStep(" sp_droplogin '" + Lit(login) + "'") == TStepOutcome::soDone)
      ShowMessage(Context.DialogParent(), QStringLiteral("Baza została odlaczona"), caption, MsgIcon::Information);
    else
      ShowMessage(Context.DialogParent(),
                  QStringLiteral("Baza \"%1\" została odłączona, ale jej login \"%2\" nie został usunięty.")
                      .arg(name, Q(login)),
                  caption, MsgIcon::Warning);
  } else if (outcome == TStepOutcome::soStopped) {
    ShowMessage(Context.DialogParent(),
                detached ? QStringLiteral("Polecenie zostało przerwane, ale baza \"%1\" została odłączona; jej login "
                                          "\"%2\" nie został usunięty.")
                               .arg(name, Q(candidate))
                         : QStringLiteral("Polecenie zostało przerwane; baza \"%1\" nie została odłączona.").arg(name),
                caption, MsgIcon::Information);
  }
  Context.DisableDatabaseCommands();
}

void DetachDatabaseCommand(TCommandContext& Context) {
  const std::string name = Context.SelectedDatabaseNode();
  if (!name.empty() &&
      !Confirm(Context.DialogParent(),
               QStringLiteral("Czy odłączyć bazę \"%1\" od serwera? Programy stracą do niej dostęp, a jej login "
                              "zostanie usunięty.")
                   .arg(QString::fromStdString(name)),
               QStringLiteral("Odlaczanie baz")))
    return;
  if (!DatabaseInUse(Context, Context.SelectedDatabase())) DetachDatabase(Context, name);
  Context.RefreshTree();
}

}  // namespace vandrel::app::admin
