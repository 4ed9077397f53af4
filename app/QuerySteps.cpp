// The query steps: the connection probe run before every command, and the steps that switch
// to a database and then execute a statement or read a result set. All run on KMQuery1.
#include <QLineEdit>
#include <QTreeWidget>
#include <functional>

#include "app/ListView.h"

#include "app/ConnectionString.h"
#include "app/MainWindow.h"
#include "app/PasswordDlg.h"
#include "app/NodeKinds.h"
#include "app/SqlQuoting.h"
#include "app/StatusLine.h"
#include "app/TableContents.h"
#include "app/WaitCursor.h"
#include "foundation/Exception.h"

namespace vandrel::app {

void TForm1::ResetQuery() {
  // A step reached from an event handled while a statement runs leaves KMQuery1 alone: its
  // text and state still belong to the running statement.
  if (Waiter.Waiting() || TTableContents::Reading()) throw Exception("Poprzednie polecenie SQL jeszcze trwa.");
  KMQuery1->Close();
  KMQuery1->GetSQL().Clear();
}

TForm1::TCommandRun::TCommandRun(TForm1& Form) : FForm(Form) {
  if (FForm.FCommandDepth++ == 0) FForm.FCommandStopped = FForm.FCommandLost = false;
}

TForm1::TCommandRun::~TCommandRun() {
  if (--FForm.FCommandDepth == 0) FForm.FCommandStopped = FForm.FCommandLost = false;
}

void TForm1::StartStep() {
  if (CommandEnded()) throw Exception("Polecenie zostało przerwane.");
  ResetQuery();
}

// "use" + Database (unless the connection is there already), then Query opened on KMQuery1.
void TForm1::OpenInDatabase(const std::string& Query, const std::string& Database) {
  StartStep();
  if (MOdbcLink1->GetCurrentCatalog() != Database) {
    KMQuery1->GetSQL().Add("use " + QuoteIdentifier(Database));
    KMQuery1->ExecSQL();
    ResetQuery();
  }
  KMQuery1->GetSQL().Add(Query);
  KMQuery1->Open();
}

TStepOutcome TForm1::UseDatabase(const std::string& Database) {
  TCommandRun run(*this);
  if (CommandEnded()) return FailedOutcome();
  // The driver follows the server's notices of the database change, so the current database
  // is known without asking.
  if (MOdbcLink1->GetConnected() && MOdbcLink1->GetCurrentCatalog() == Database) return TStepOutcome::soDone;
  return RunStep("use " + QuoteIdentifier(Database));
}

bool TForm1::AnsweredLately() const {
  return MOdbcLink1->GetConnected() && !FLinkLost && FLastAnswer.isValid() &&
         FLastAnswer.elapsed() < qint64(ProbeAfterIdle) * 1000;
}

bool TForm1::KnownLost() const {
  return MOdbcLink1->GetConnected() && (FLinkLost || Waiter.ConnectionEnded());
}

bool TForm1::ProbeConnection() {
  if (CommandEnded()) return false;
  WaitCursor busy;
  // A server that does not answer a probe within its time has hung: the probe's wait ends.
  TWaitLimit limit(Waiter, ProbeTimeout);
  QTreeWidgetItem* top = TreeView1->topLevelItem(0);
  TScopedCount probing(FProbing);
  auto markServer = [this, &top](int Image) {
    if (TreeView1->topLevelItemCount() == 0) return;
    if (!top) top = TreeView1->topLevelItem(0);
    if (top && top->text(0).contains(QStringLiteral("Serwer"))) SetNodeImages(top, Image, Image);
  };
  try {
    ResetQuery();
    KMQuery1->GetSQL().Add("select 1");
    KMQuery1->ExecSQL();
    markServer(nkServer);
    return true;
  } catch (...) {
    markServer(nkServerLost);
    return false;
  }
}

bool TForm1::EnsureConnected() { return EnsureConnectedBy(false); }

bool TForm1::EnsureConnectedProbing() { return EnsureConnectedBy(true); }

// A connection that answered a moment ago is alive: the probe costs a round trip, and is
// sent only after a pause or when Probe asks for certainty. A connection known to be lost
// is connected again at once, without a probe.
bool TForm1::EnsureConnectedBy(bool Probe) {
  // A step reached while a statement runs (from an event handled meanwhile) must neither
  // probe nor reconnect under it.
  if (Waiter.Waiting() || TTableContents::Reading()) return false;
  TCommandRun run(*this);
  if (CommandEnded()) return false;
  // A connection its server ended meanwhile (restarted, or ended this session) is connected
  // again before anything is sent on it.
  const bool knownLost = KnownLost();
  try {
    const unsigned stops = Waiter.Stops(), drops = Waiter.Drops();
    if (knownLost || ((Probe || !AnsweredLately()) && !ProbeConnection())) {
      // A probe the user stopped, or one the server did not answer in time, ends the command:
      // the next command connects again.
      const bool dropped = Waiter.Drops() != drops;
      if (dropped) ShowConnectionLost("Serwer nie odpowiedział; połączenie zostało przerwane.");
      if (dropped || Waiter.Stops() != stops) return false;
      ConnectLink();
      ReadServerUser();
    }
    if (!MOdbcLink1->GetConnectString().empty()) ConnectionString = MOdbcLink1->GetConnectString();
    return true;
  } catch (const EAbort&) {
    FCommandLost = true;  // the user cancelled the data source's logon: the command asks no more
    return false;
  } catch (...) {
    // A reconnect that failed (or outlived the login time-out) ends the command; the next one
    // tries again.
    FCommandLost = true;
    ShowConnectionLost(Waiter.Dropped() ? "Serwer nie odpowiedział; połączenie zostało przerwane." : "");
    return false;
  }
}

void TForm1::ReadServerUser() {
  ServerUser.clear();
  Rights = {};
  {
    TScopedCount probing(FProbing);  // a failure here is the connection's, which the probe reports
    try {
      ResetQuery();
      KMQuery1->GetSQL().Add(kLoginRightsQuery);
      KMQuery1->Open();
      if (!KMQuery1->GetEof() && KMQuery1->GetFieldCount() > 3) {
        const auto cell = [this](int Column) { return KMQuery1->GetFields()->GetFields(Column)->GetEditText(); };
        ServerUser = cell(0);
        Rights.SetRoles(cell(1), cell(2), cell(3));
      }
      KMQuery1->Close();
    } catch (...) {
      // The status bar then names no login, and no command is held back for the role: the
      // next command's probe finds what became of the connection.
    }
  }
  UpdateConnectionStatus();
}

bool TForm1::ExecInDatabase(const std::string& Statement, const std::string& Database) {
  return ExecStep(Statement, Database) == TStepOutcome::soDone;
}

TStepOutcome TForm1::ExecStep(const std::string& Statement, const std::string& Database) {
  TCommandRun run(*this);
  if (!EnsureConnected()) return FailedOutcome();
  WaitCursor busy;
  TStepOutcome outcome = UseDatabase(Database);
  if (outcome == TStepOutcome::soDone) outcome = RunStep(Statement);
  return outcome;
}

namespace {

// What became of a step that raised: stopped with "Przerwij", or failed.
TStepOutcome FailedOutcomeOf(const TStatementWaiter& Waiter) {
  return Waiter.Cancelled() ? TStepOutcome::soStopped : TStepOutcome::soFailed;
}

// Runs Step on Query and tells what became of it: a step that raised was stopped with
// "Przerwij" or failed (the error report has shown why), and leaves the query closed.
TStepOutcome OutcomeOf(TKMQuery& Query, const TStatementWaiter& Waiter, const std::function<void()>& Step) {
  try {
    Step();
    return TStepOutcome::soDone;
  } catch (...) {
    const TStepOutcome outcome = FailedOutcomeOf(Waiter);
    try {
      Query.Close();
    } catch (...) {
      // A query whose connection broke cannot close cleanly; the next step resets it.
    }
    return outcome;
  }
}

}  // namespace

TStepOutcome TForm1::FailedOutcome() const { return FCommandStopped ? TStepOutcome::soStopped : FailedOutcomeOf(Waiter); }

TStepOutcome TForm1::RunStep(const std::string& Statement) {
  TCommandRun run(*this);
  if (CommandEnded()) return FailedOutcome();
  return OutcomeOf(*KMQuery1, Waiter, [&] {
    ResetQuery();
    KMQuery1->GetSQL().Add(Statement);
    KMQuery1->ExecSQL();
    ResetQuery();
  });
}

TStepOutcome TForm1::OpenStep(const std::string& Query, TextList& List) {
  List.clear();
  TCommandRun run(*this);
  if (CommandEnded()) return FailedOutcome();
  return OutcomeOf(*KMQuery1, Waiter, [&] {
    ResetQuery();
    KMQuery1->GetSQL().Add(Query);
    KMQuery1->Open();
    const int columns = KMQuery1->GetFieldCount();
    List.push_back(std::to_string(columns));
    for (; !KMQuery1->GetEof(); KMQuery1->Next())
      for (int c = 0; c < columns; ++c) List.push_back(KMQuery1->GetFields()->GetFields(c)->GetEditText());
    ResetQuery();
  });
}

TStepOutcome TForm1::QueryToList(TextList& List, const std::string& Query, const std::string& Database) {
  List.clear();
  TCommandRun run(*this);
  try {
    EnsureConnected();
    WaitCursor busy;
    OpenInDatabase(Query, Database);
    const int columns = KMQuery1->GetFieldCount();
    if (columns > 0) {
      List.push_back(std::to_string(columns));
      TMFields* fields = KMQuery1->GetFields();
      for (; !KMQuery1->GetEof(); KMQuery1->Next())
        for (int c = 0; c < columns; ++c) List.push_back(fields->GetFields(c)->GetEditText());
    }
    KMQuery1->Close();
    return TStepOutcome::soDone;
  } catch (...) {
    // The error report has shown why (a step refused beside a running statement included).
    List.clear();
    return FailedOutcome();
  }
}

void TForm1::QueryTablesToList(TextList& List, const std::string& Query, const std::string& Database) {
  QueryToList(List, Query, Database);
  if (List.empty()) return;
  const size_t columns = std::stoul(List[0]);
  if (columns < 3) return;
  // Column 3 of each row becomes owner + "." + table name.
  for (size_t row = 1; row + columns - 1 < List.size(); row += columns)
    List[row + 2] = List[row + 1] + "." + List[row + 2];
}

TStepValue TForm1::QueryScalar(const std::string& Query, const std::string& Database) {
  TCommandRun run(*this);
  try {
    return {TStepOutcome::soDone, QueryField(Query, 0, Database)};
  } catch (...) {
    return {FailedOutcome(), {}};  // the error report has shown why
  }
}

std::string TForm1::QueryField(const std::string& Query, int Column, const std::string& Database) {
  TCommandRun run(*this);
  EnsureConnected();
  WaitCursor busy;
  OpenInDatabase(Query, Database);
  std::string value;
  if (!KMQuery1->GetEof() && Column >= 0 && Column < KMQuery1->GetFieldCount())
    value = KMQuery1->GetFields()->GetFields(Column)->GetEditText();
  KMQuery1->Close();
  return value;
}

void TForm1::QueryToListView(const std::string& Query, TListView* List, const std::string& Database) {
  // Emptied before anything runs: a failure leaves an empty list, never the last display.
  TListModel* model = List->Model();
  model->Clear();
  TCommandRun run(*this);
  try {
    EnsureConnected();
    WaitCursor busy;
    StartStep();
    // The rows go straight into the list, so the query keeps only the rowset it reads; the
    // other steps find it in its default mode again.
    struct ForwardOnlyRead {
      TKMQuery& Query;
      explicit ForwardOnlyRead(TKMQuery& Q) : Query(Q) { Query.SetForwardOnly(true); }
      ~ForwardOnlyRead() {
        try {
          Query.Close();
          Query.SetForwardOnly(false);
        } catch (...) {
          // A destructor must not raise; a query that cannot close is reset by the next step.
        }
      }
    } forwardOnly(*KMQuery1);
    OpenInDatabase(Query, Database);
    if (KMQuery1->GetFieldCount() > 0) {
      TTableContents contents(*KMQuery1, *List, this);
      contents.ShowAfter = Waiter.ShowAfter;
      contents.FetchCancelled = [this] { return Waiter.Cancelled(); };
      contents.Read(Query);
      if (contents.Stopped()) StatusBar1->ShowStopped(contents.Rows());
    }
    KMQuery1->Close();
  } catch (...) {
    // The SQL error report has shown why; the list stays empty, never the last display.
  }
}

std::string TForm1::ServerAsNamed() const {
  if (!PasswordDlg || ConnectionString.empty()) return ConnectionStringValue("SERVER");
  // A fixed port typed in its own field goes with a host that names neither port nor instance.
  const std::string server = PasswordDlg->Edit1->text().toStdString(), port = PasswordDlg->FixedPort().toStdString();
  const bool withPort = !port.empty() && port != "0" && server.find_first_of(",\\") == std::string::npos;
  return withPort ? server + "," + port : server;
}

std::string TForm1::ConnectionStringValue(const std::string& Key) const {
  return app::ConnectionStringValue(ConnectionString, Key);
}

void TForm1::UserDatabaseNames(TextList& List) {
  QueryToList(List, "select name from sysdatabases order by name", "master");
  if (!List.empty()) List.erase(List.begin());
  std::erase_if(List, [](const std::string& name) { return IsSystemDatabase(name); });
}

std::string TForm1::FindUserDatabase(const TextList& Names, const std::string& Name) {
  const std::string name = Name.empty() ? SelectedDatabaseNode() : Name;
  if (IsSystemDatabase(name)) return {};
  for (const std::string& n : Names)
    if (n == name) return name;
  return {};
}

}  // namespace vandrel::app
