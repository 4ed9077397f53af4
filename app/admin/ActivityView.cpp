#include "app/admin/ActivityView.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <set>

#include "app/ListView.h"
#include "app/StatementWaiter.h"
#include "app/admin/Processes.h"
#include "app/query/QueryWindow.h"

namespace vandrel::app::admin {
namespace {

// The design's columns come first, as the statement names them; the view's own follow.
constexpr size_t kDesignColumns = 9;
enum TActivityColumn : size_t {
  acBlocked = kDesignColumns, acWaitType, acWaitTime, acOpenTran, acCpu, acIo, acEcid, acOwnSpid, acUserProcess
};

// The chooser's intervals in seconds, 0 for off (the default).
constexpr int kIntervals[] = {0, 5, 10, 30};

std::string ActivityQuery(bool Is2005) {
  std::string query = kProcessListQuery;
  const std::string from = " from sysprocesses";
  std::string extra = ", blocked, lastwaittype, waittime, open_tran, cpu, physical_io, ecid, @@SPID";
  // On SQL Server 2005 the server says itself which sessions are its own.
  if (Is2005) extra += ", (select is_user_process from sys.dm_exec_sessions where session_id = spid)";
  query.insert(query.rfind(from), extra);
  return query;
}

int Number(const std::string& Text) {
  try {
    return std::stoi(Text);
  } catch (...) {
    return 0;  // an empty or odd cell counts as none
  }
}

// This program's other connections: its query windows, each with the session it has now.
std::set<int> QueryWindowSessions(QWidget* Window) {
  std::set<int> spids;
  if (Window)
    for (const TQueryWindow* w : Window->findChildren<TQueryWindow*>(Qt::FindDirectChildrenOnly))
      if (w->Spid() > 0) spids.insert(w->Spid());
  return spids;
}

// The sessions as the server lists them now; false when the list cannot be read.
bool ReadSessions(TCommandContext& Context, std::vector<TSession>& Sessions, bool& Is2005) {
  const TStepValue version =
      Context.QueryScalar("select CAST(SERVERPROPERTY('ProductVersion') AS nvarchar(128))", "master");
  if (!version.Done()) return false;
  Is2005 = version.Value.rfind("8.", 0) != 0;
  TextList list;
  if (Context.QueryToList(list, ActivityQuery(Is2005), "master") != TStepOutcome::soDone || list.empty()) return false;
  const size_t columns = std::stoul(list[0]);
  if (columns < acOwnSpid + 1) return false;
  const std::set<int> windows = QueryWindowSessions(Context.DialogParent());
  std::set<int> seen;
  for (size_t at = 1; at + columns <= list.size(); at += columns) {
    const auto cell = [&](size_t c) { return TrimmedRight(list[at + c]); };
    TSession s;
    s.Spid = Number(cell(0));
    // A parallel statement lists its threads too (ecid above 0): the session is shown once.
    if (Number(cell(acEcid)) != 0 || !seen.insert(s.Spid).second) continue;
    for (size_t c = 0; c < kDesignColumns; ++c) s.Texts.push_back(cell(c));
    s.Program = cell(4);
    s.LoginTime = cell(5);
    s.BlockedBy = Number(cell(acBlocked));
    s.WaitMs = Number(cell(acWaitTime));
    if (s.BlockedBy != 0 || s.WaitMs > 0) s.WaitType = cell(acWaitType);
    s.OpenTransactions = cell(acOpenTran);
    s.Cpu = cell(acCpu);
    s.Io = cell(acIo);
    s.Own = s.Spid == Number(cell(acOwnSpid)) || windows.count(s.Spid) > 0;
    s.System = Is2005 && columns > acUserProcess && !cell(acUserProcess).empty() ? cell(acUserProcess) == "0"
                                                                                 : s.Spid <= 50;
    Sessions.push_back(std::move(s));
  }
  Sessions = ActivityOrder(std::move(Sessions));
  return true;
}

std::vector<TListColumn> ActivityColumns(const TListView& List) {
  std::vector<TListColumn> columns;
  const auto add = [&](const char* Caption, bool Numeric) {
    TListColumn c;
    c.Caption = QString::fromUtf8(Caption);
    c.Width = List.fontMetrics().horizontalAdvance(c.Caption) + 24;
    c.Numeric = Numeric;
    if (Numeric) c.Alignment = Qt::AlignRight | Qt::AlignVCenter;
    columns.push_back(c);
  };
  for (const char* caption : {"SPID", "Nazwa_bazy", "Nazwa_logina", "Nazwa_hosta", "Nazwa_programu", "Czas_logowania",
                              "Czas_ostatniego_polecenia", "Status", "Polecenie"})
    add(caption, std::string_view(caption) == "SPID");
  add("Uwagi", false);
  add("Blokowany przez", true);
  add("Czeka", false);
  add("Otwarte transakcje", true);
  add("CPU", true);
  add("I/O", true);
  return columns;
}

// Where the user left the list: the selected sessions (by number and login time, so that a
// number given to a new session is not taken for the old one), the scroll and the widths.
struct TListPlace {
  std::set<std::pair<std::string, std::string>> Selected;
  int Vertical = 0, Horizontal = 0;
  std::vector<int> Widths;
  QString Filter;
};

TListPlace PlaceOf(const TListView& List) {
  TListPlace place;
  for (int row : List.SelectedRows()) place.Selected.emplace(List.Text(row, 0).toStdString(), List.Text(row, 5).toStdString());
  place.Vertical = List.verticalScrollBar()->value();
  place.Horizontal = List.horizontalScrollBar()->value();
  for (int c = 0; c < List.ColumnCount(); ++c) place.Widths.push_back(List.columnWidth(c));
  place.Filter = List.Model()->Filter();
  return place;
}

void Restore(TListView& List, const TListPlace& Place) {
  if (static_cast<int>(Place.Widths.size()) == List.ColumnCount())
    for (int c = 0; c < List.ColumnCount(); ++c) List.setColumnWidth(c, Place.Widths[static_cast<size_t>(c)]);
  if (!Place.Filter.isEmpty() && List.FilterEdit) List.FilterEdit->setText(Place.Filter);
  QItemSelection selection;
  for (int row = 0; row < List.RowCount(); ++row)
    if (Place.Selected.count({List.Text(row, 0).toStdString(), List.Text(row, 5).toStdString()})) {
      const QModelIndex index = List.model()->index(row, 0);
      selection.select(index, index);
    }
  if (!selection.isEmpty())
    List.selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  List.verticalScrollBar()->setValue(Place.Vertical);
  List.horizontalScrollBar()->setValue(Place.Horizontal);
}

}  // namespace

TActivityBar::TActivityBar(TCommandContext& Context, TListView& List)
    : QWidget(List.parentWidget()), FContext(Context), FList(List) {
  setObjectName("ActivityBar");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* label = new QLabel(QStringLiteral("Odświeżaj co"), this);
  Interval = new QComboBox(this);
  Interval->setObjectName("ActivityRefresh");
  for (int seconds : kIntervals)
    Interval->addItem(seconds == 0 ? QStringLiteral("wyłączone") : QStringLiteral("%1 s").arg(seconds), seconds);
  label->setBuddy(Interval);
  layout->addWidget(label);
  layout->addWidget(Interval);
  layout->addStretch(1);
  Timer = new QTimer(this);
  Timer->setObjectName("ActivityTimer");
  connect(Timer, &QTimer::timeout, this, &TActivityBar::Tick);
  connect(Interval, &QComboBox::currentIndexChanged, this, &TActivityBar::FollowInterval);
  // Another list in its place: the bar goes, and so does its refresh.
  connect(List.Model(), &QAbstractItemModel::modelReset, this, &TActivityBar::FollowInterval);
  hide();
}

bool TActivityBar::ShowsSessions() const { return FList.ColumnCount() > 0 && FList.Caption(0) == QStringLiteral("SPID"); }

void TActivityBar::FollowInterval() {
  const bool shown = ShowsSessions();
  setVisible(shown);
  const int seconds = Interval->currentData().toInt();
  if (!shown || seconds <= 0) {
    Timer->stop();
    return;
  }
  if (!Timer->isActive() || Timer->interval() != seconds * 1000) Timer->start(seconds * 1000);
}

void TActivityBar::Tick() {
  if (!ShowsSessions()) return FollowInterval();
  // The user is answering something, looking at a menu, or a statement is on its way: the
  // next turn refreshes.
  if (QApplication::activeModalWidget() || QApplication::activePopupWidget() || FContext.StatementWaiter().Waiting())
    return;
  if (!Fill(true)) Interval->setCurrentIndex(0);  // one report of a failure, not one every turn
}

bool TActivityBar::Fill(bool KeepPlace) {
  const TListPlace place = PlaceOf(FList);
  std::vector<TSession> sessions;
  if (!ReadSessions(FContext, sessions, FIs2005)) {
    FSessions.clear();
    FList.Model()->Clear();  // a list that could not be read is never shown as if it were now
    return false;
  }
  TListModel* model = FList.Model();
  model->BeginFill(ActivityColumns(FList));
  FSessions.clear();
  for (const TSession& s : sessions) {
    std::vector<std::string> texts = s.Texts;
    texts.resize(kDesignColumns);
    texts.push_back(SessionNote(s));
    texts.push_back(s.BlockedBy != 0 ? std::to_string(s.BlockedBy) : std::string());
    texts.push_back(WaitText(s));
    texts.push_back(s.OpenTransactions);
    texts.push_back(s.Cpu);
    texts.push_back(s.Io);
    model->AppendRow(std::vector<std::string_view>(texts.begin(), texts.end()));
    FSessions.emplace(s.Spid, s);
  }
  model->EndFill();
  if (KeepPlace)
    Restore(FList, place);
  else
    FList.FitColumnsToSample();
  FollowInterval();
  return true;
}

const TSession* TActivityBar::Session(const std::string& Spid) const {
  if (!IsProcessNumber(Spid)) return nullptr;
  const auto it = FSessions.find(std::stoi(Spid));
  return it == FSessions.end() ? nullptr : &it->second;
}

std::vector<TSession> TActivityBar::SelectedSessions() const {
  std::vector<TSession> sessions;
  if (!ShowsSessions()) return sessions;
  for (int row : FList.SelectedRows())
    if (const TSession* s = Session(FList.Text(row, 0).toStdString())) sessions.push_back(*s);
  return sessions;
}

TSessionNow SessionNow(TCommandContext& Context, const TSession& S) {
  TextList now;
  if (Context.QueryToList(now, "select login_time, program_name from sysprocesses where spid=" + std::to_string(S.Spid), "master") !=
      TStepOutcome::soDone)
    return TSessionNow::snUnknown;
  if (now.size() < 3) return TSessionNow::snGone;
  return TrimmedRight(now[1]) == S.LoginTime && TrimmedRight(now[2]) == S.Program ? TSessionNow::snSame : TSessionNow::snGone;
}

TActivityBar& ActivityBarOf(TCommandContext& Context, TListView& List) {
  QWidget* panel = List.parentWidget();
  if (auto* bar = panel->findChild<TActivityBar*>(QString(), Qt::FindDirectChildrenOnly)) return *bar;
  auto* bar = new TActivityBar(Context, List);
  if (auto* layout = qobject_cast<QVBoxLayout*>(panel->layout()))
    layout->insertWidget(layout->indexOf(&List), bar);
  return *bar;
}

namespace {

// The sessions of the process list's selected rows; none while the list shows something else.
std::vector<TSession> SelectedSessionsOf(const TListView& List) {
  const QWidget* panel = List.parentWidget();
  const auto* bar = panel ? panel->findChild<TActivityBar*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
  return bar ? bar->SelectedSessions() : std::vector<TSession>();
}

}  // namespace

bool SelectionHasKillableSession(const TListView& List) {
  for (const TSession& s : SelectedSessionsOf(List))
    if (s.Killable()) return true;
  return false;
}

bool SelectionHasSession(const TListView& List) { return !SelectedSessionsOf(List).empty(); }

}  // namespace vandrel::app::admin
