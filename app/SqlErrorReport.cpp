// The SQL error report: every failed statement or query opened on the link is shown once,
// with its text, its parameters and the topics of the error.
#include "app/ErrorText.h"
#include "app/clientsetup/TovinexPassword.h"
#include "app/DialogSeam.h"
#include "app/DriverRecords.h"
#include "app/MainWindow.h"
#include "app/SqlQuoting.h"
#include "data/OdbcError.h"
#include "data/Params.h"
#include "foundation/MacError.h"

namespace vandrel::app {
namespace {

std::string ParamTypeText(TMFieldType Type) {
  switch (Type) {
    case mftInteger: return "int";
    case mftFloat: return "flo";
    case mftExtended: return "ext";
    case mftDateTime: return "d/t";
    default: return "str";
  }
}

std::string ParamDirectionText(TMParamOption Option) {
  switch (Option) {
    case mpoInput: return "in ";
    case mpoInputOutput: return "i/o ";
    default: return "out ";
  }
}

// A driver's record is labelled by what it is: only a record of SQLSTATE class 01 is
// information; every other is the error.
std::string TopicTitle(const EMException* Topic) {
  const auto* record = dynamic_cast<const EMOdbcDriverError*>(Topic);
  if (record && record->SqlState.rfind("01", 0) != 0) return "Błąd";
  return Topic->GetTitle();
}

}  // namespace

// The name of an object by number, read on a query of its own: the report runs while KMQuery1
// is still inside the failed step, which must not be disturbed. A failed look-up is silent
// and gives an empty name.
std::string TForm1::ObjectNameLookup(const std::string& Id, const std::string& Database) {
  std::string name;
  TQuietErrors quiet(*this);
  try {
    TKMQuery query;
    query.SetLink(MOdbcLink1.get());
    query.GetSQL().Add("use " + QuoteIdentifier(Database));
    query.ExecSQL();
    query.GetSQL().Clear();
    query.GetSQL().Add("Select OBJECT_NAME(" + Id + ")");
    query.Open();
    if (!query.GetEof() && query.GetFieldCount() > 0) name = query.GetFields()->GetFields(0)->GetEditText();
  } catch (...) {
    // A name that cannot be looked up is left out: the report shows the object's number.
  }
  return name;
}

// A statement the user stopped with "Przerwij" failed as asked: it is named as stopped, not
// as an error of the server, and the command that ran it does not go on to its success.
void TForm1::ReportCancelled(const std::string& Text) {
  if (FProbing == 0 && FQuietStatements == 0 && CommandReportsStop == 0) {
    ShowMessage(this, QString::fromStdString("Polecenie SQL zostało przerwane na żądanie użytkownika:\r\n" + Text),
                QStringLiteral("Przerwano"), MsgIcon::Information);
  }
}

void TForm1::MOdbcLink1Query(std::string& Text, TMParams* Params, TMQueryContext QueryContext,
                             const Exception* E) {
  switch (QueryContext) {
    case mqcExecBefore:
    case mqcOpenBefore: Waiter.SetStatement(clientsetup::HidePasswords(Text)); return;
    case mqcExecAfter:
    case mqcOpenAfter:
      Waiter.StatementEnded();
      FLastAnswer.start();
      return;
    case mqcExecError:
    case mqcOpenError: Waiter.StatementEnded(); break;
    default: return;
  }
  // A server that refused the statement has answered; one that was cut off has not.
  const bool lost = Waiter.Dropped() || IsConnectionLoss(DriverRecordsOf(E));
  if (lost)
    FLinkLost = true;
  else
    FLastAnswer.start();
  if (Waiter.Dropped()) {
    // The server never acknowledged the stop or outlived the time-out: what it did with the
    // statement is unknown, and the connection is gone.
    if (FProbing == 0)
      ShowConnectionLost("Serwer nie odpowiedział, więc połączenie zostało przerwane; nie wiadomo, czy serwer "
                         "wykonał polecenie:\r\n" + clientsetup::HidePasswords(Text));
    return;
  }
  if (Waiter.Cancelled()) {
    ReportCancelled(clientsetup::HidePasswords(Text));
    return;
  }
  if (FProbing == 0 && lost) {
    ShowConnectionLost();
    return;
  }
  std::string report = QueryContext == mqcExecError ? "Błąd polecenia SQL:\r\n" : "Błąd zapytania SQL:\r\n";
  report += clientsetup::HidePasswords(Text);
  if (Params) {
    for (int i = 0; i < Params->GetCount(); ++i) {
      const TMParam* p = Params->GetParams(i);
      if (p->GetParamOption() == mpoMacro)
        report += "\r\nMakro";
      else
        report += "\r\nParametr [" + ParamDirectionText(p->GetParamOption()) + ParamTypeText(p->GetDataType()) + "]";
      report += " '" + p->GetName() + "': " + p->GetAsString();
    }
  }
  if (E) {
    report += "\r\n";
    if (const auto* em = dynamic_cast<const EMException*>(E)) {
      for (int i = 0; i < em->GetTopicCount(); ++i) {
        const EMException* topic = em->GetTopics(i);
        report += "[" + topic->GetCode() + "] " + TopicTitle(topic) + "\r\n" + topic->GetDescription() + "\r\n";
      }
    } else {
      report += E->Message;
    }
  }
  if (FProbing == 0 && FQuietStatements == 0) {
    if (FKeptMessages) {
      const std::vector<TDriverRecord> records = DriverRecordsOf(E);
      FKeptMessages->Records.insert(FKeptMessages->Records.end(), records.begin(), records.end());
    }
    const std::string database = SelectedDatabase();
    std::function<std::string(const std::string&)> lookup;
    if (!database.empty())
      lookup = [this, &database](const std::string& Id) { return ObjectNameLookup(Id, database); };
    report = TranslateKnownMessage(RewriteObjectIds(report, lookup));
    if (FKeptMessages)
      FKeptMessages->Report = report;
    else
      ShowErrorReport(report);
  }
}

void TForm1::ShowErrorReport(const std::string& Report) {
  ShowReport(this, QString::fromStdString(ReportSummary(Report)), QString::fromStdString(Report),
             QStringLiteral("Błąd"), MsgIcon::Error);
}

}  // namespace vandrel::app
