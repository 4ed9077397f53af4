#include "app/admin/ServerHealth.h"

#include <QApplication>
#include <QStyle>
#include <stdexcept>

#include "app/DialogSeam.h"
#include "app/ListView.h"
#include "app/SqlQuoting.h"
#include "app/health/HealthRead.h"
#include "app/health/HealthRules.h"

namespace vandrel::app::admin {
namespace {

using health::TFinding;

const char* const kHealthCaption = "Stan serwera";
const char* const kMendColumn = "Naprawa";

// The window's command that mends a finding of Mend (mdNone and mdFixUsers have none).
TCommandId MendCommand(health::TMend Mend) {
  switch (Mend) {
    case health::TMend::mdBackup: return TCommandId::cmBackup;
    case health::TMend::mdOptions: return TCommandId::cmDatabaseOptions;
    case health::TMend::mdRestore: return TCommandId::cmRestore;
    case health::TMend::mdOnline: return TCommandId::cmBringOnline;
    case health::TMend::mdMultiUser: return TCommandId::cmMultiUser;
    case health::TMend::mdCheck: return TCommandId::cmCheck;
    case health::TMend::mdNone:
    case health::TMend::mdFixUsers: break;
  }
  throw std::logic_error("a finding without a command of the window");
}

// The checks' statements through the window's query steps (the waiting window, the error
// report); a statement that failed gives an empty list.
class TStepReader : public health::THealthReader {
 public:
  explicit TStepReader(TCommandContext& Context) : FContext(Context) {}
  bool Read(const std::string& Sql, const std::string& Database, health::THealthRows& Rows) override {
    Rows.clear();
    TextList list;
    if (FContext.QueryToList(list, Sql, Database) != TStepOutcome::soDone || list.empty()) return false;
    const size_t columns = std::stoul(list[0]);
    for (size_t at = 1; columns > 0 && at + columns <= list.size(); at += columns)
      Rows.emplace_back(list.begin() + static_cast<std::ptrdiff_t>(at), list.begin() + static_cast<std::ptrdiff_t>(at + columns));
    return true;
  }

 private:
  TCommandContext& FContext;
};

QVariant WeightIcon(std::string_view Text) {
  const QStyle::StandardPixmap pixmap = Text == health::WeightText(health::TWeight::wError) ? QStyle::SP_MessageBoxCritical
                                        : Text == health::WeightText(health::TWeight::wWarning)
                                            ? QStyle::SP_MessageBoxWarning
                                            : QStyle::SP_MessageBoxInformation;
  return Text.empty() ? QVariant() : QVariant(QApplication::style()->standardIcon(pixmap));
}

// The findings the list shows, kept beside it so that a mend takes its database from them
// and never from a text read back from the screen.
class THealthFindings : public QObject {
 public:
  THealthFindings(TListView* List, TCommandContext& Context) : QObject(List) {
    setObjectName(QStringLiteral("healthFindings"));
    connect(List, &QAbstractItemView::activated, this,
            [&Context](const QModelIndex& Index) { MendHealthFinding(Context, Index.row()); });
  }
  std::vector<TFinding> Findings;
};

THealthFindings& FindingsOf(TListView* List, TCommandContext& Context) {
  auto* held = List->findChild<THealthFindings*>(QStringLiteral("healthFindings"), Qt::FindDirectChildrenOnly);
  return held != nullptr ? *held : *new THealthFindings(List, Context);
}

void ShowFindings(TListView* List, const std::vector<TFinding>& Findings) {
  std::vector<TListColumn> columns(4);
  columns[0] = {QStringLiteral("Waga"), 110};
  columns[0].Icon = WeightIcon;
  columns[1] = {QStringLiteral("Baza"), 130};
  columns[2] = {QStringLiteral("Stan"), 430};
  columns[3] = {QString::fromUtf8(kMendColumn), 190};
  TListModel* model = List->Model();
  model->BeginFill(std::move(columns));
  for (const TFinding& f : Findings)
    model->AppendRow({health::WeightText(f.Weight), f.Database, f.Text, health::MendCaption(f.Mend)});
  if (Findings.empty()) model->AppendRow({"", "", "Bez uwag", ""});
  model->EndFill();
}

}  // namespace

void ServerHealthCommand(TCommandContext& Context) {
  TListView* list = Context.DetailList();
  if (list == nullptr || !Context.EnsureConnected()) return;
  TStepReader reader(Context);
  health::TServerFacts facts;
  if (!health::ReadServerFacts(reader, facts)) return;  // the error report has said why
  // The findings are the server's: its node is the one selected while the list shows them.
  Context.SelectServerNode();
  THealthFindings& held = FindingsOf(list, Context);
  held.Findings = health::JudgeServer(facts);
  ShowFindings(list, held.Findings);
}

void MendHealthFinding(TCommandContext& Context, int Row) {
  TListView* list = Context.DetailList();
  if (list == nullptr || Row < 0 || Row >= list->RowCount() || list->ColumnCount() != 4 ||
      list->Caption(3) != QString::fromUtf8(kMendColumn))
    return;
  const THealthFindings& held = FindingsOf(list, Context);
  // The row as shown (the user may have sorted the list) is found among the findings kept.
  const TFinding* finding = nullptr;
  for (const TFinding& f : held.Findings)
    if (list->Text(Row, 1).toStdString() == f.Database && list->Text(Row, 2).toStdString() == f.Text) finding = &f;
  if (finding == nullptr) return;
  const QString caption = QString::fromUtf8(kHealthCaption);
  if (finding->Mend == health::TMend::mdNone) {
    ShowMessage(Context.DialogParent(), QStringLiteral("Narzędzie nie ma polecenia, które to naprawia."), caption,
                MsgIcon::Information);
    return;
  }
  if (finding->Mend == health::TMend::mdFixUsers) return FixOrphanedUsers(Context, finding->Database);
  const std::string command = health::MendCaption(finding->Mend);
  const std::string database = finding->Database;
  if (!Context.SelectDatabaseNode(database) || !Context.RunCommand(MendCommand(finding->Mend)))
    ShowMessage(Context.DialogParent(),
                QStringLiteral("Polecenia \"%1\" nie można użyć dla bazy \"%2\" w jej obecnym stanie.")
                    .arg(QString::fromStdString(command), QString::fromStdString(database)),
                caption, MsgIcon::Warning);
  // The list is read again where it stood: what the mend changed is what the server reports
  // now, and the user goes on with the next finding.
  ServerHealthCommand(Context);
}

void FixOrphanedUsers(TCommandContext& Context, const std::string& Database) {
  const QString caption = QStringLiteral("Napraw użytkowników");
  TStepReader reader(Context);
  health::THealthRows orphans, logins;
  if (!reader.Read("sp_change_users_login 'Report'", Database, orphans) ||
      !reader.Read("select name from master..syslogins where isntname = 0", "master", logins))
    return;
  // Each user whose name a login has; the login keeps its own spelling.
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const health::THealthRow& user : orphans)
    for (const health::THealthRow& login : logins)
      if (!user.empty() && !login.empty() && QString::fromStdString(user[0]).compare(QString::fromStdString(login[0]), Qt::CaseInsensitive) == 0)
        pairs.emplace_back(user[0], login[0]);
  const QString database = QString::fromStdString(Database);
  if (pairs.empty()) {
    ShowMessage(Context.DialogParent(),
                QStringLiteral("W bazie \"%1\" nie ma użytkowników bez loginu, dla których istnieje login o tej samej nazwie.")
                    .arg(database),
                caption, MsgIcon::Information);
    return;
  }
  QString list;
  for (const auto& [user, login] : pairs) list += QStringLiteral("\n  %1 → login %2").arg(QString::fromStdString(user), QString::fromStdString(login));
  if (!Confirm(Context.DialogParent(),
               QStringLiteral("Przypisać użytkowników bazy \"%1\" do loginów o tych samych nazwach?%2").arg(database, list),
               caption))
    return;
  QStringList done;
  for (const auto& [user, login] : pairs) {
    const TStepOutcome outcome = Context.ExecStep(
        "sp_change_users_login 'Update_One', " + UnicodeLiteral(user) + ", " + UnicodeLiteral(login), Database);
    if (outcome != TStepOutcome::soDone) {
      ShowMessage(Context.DialogParent(),
                  QStringLiteral("Przypisano: %1. Nie przypisano użytkownika %2 ani następnych.")
                      .arg(done.isEmpty() ? QStringLiteral("nikogo") : done.join(QStringLiteral(", ")), QString::fromStdString(user)),
                  caption, MsgIcon::Warning);
      return ServerHealthCommand(Context);
    }
    done << QString::fromStdString(user);
  }
  ShowMessage(Context.DialogParent(),
              QStringLiteral("Użytkownicy bazy \"%1\" przypisani do loginów: %2.").arg(database, done.join(QStringLiteral(", "))),
              caption, MsgIcon::Information);
  ServerHealthCommand(Context);
}

}  // namespace vandrel::app::admin
