// The main window against msde-sim: a tree rebuild over 500 databases and a table of 10^6
// rows of 10 columns shown through QueryToListView, and the same table run as a query in the
// query window. Reports wall time and statements sent; for the table its ratio to the same
// query read forward-only by the data-access library alone, measured in the same run, how
// soon its first rows were painted, and the process's peak memory growth while it showed
// them against the bytes of their texts.
#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QTreeWidget>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/DialogSeam.h"
#include "app/ListView.h"
#include "app/MainWindow.h"
#include "app/PasswordDlg.h"
#include "app/query/NewQuery.h"
#include "app/query/QueryEditor.h"
#include "app/query/QueryWindow.h"
#include "app/query/ResultGrids.h"
#include "bench/WindowBench.h"
#include "testkit/SimServer.h"
#include "testkit/TempDir.h"

using namespace vandrel;
using namespace vandrel::app;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kDatabases = 500;
constexpr int kRows = 1000000;
constexpr int kColumns = 10;
// The machine's slow spells last a round or two: each side's best of five is its own speed.
constexpr int kRounds = 5;

std::string DataSet() {
  std::string j = R"({"server":{"name":"BENCH"},"logins":[{"name":"sa","password":"demo","sysadmin":true}],"databases":[)";
  j += R"({"name":"master","dbid":1,"users":[{"name":"guest","login":""}]})";
  for (int d = 0; d < kDatabases; ++d) {
    const std::string name = "Baza" + std::to_string(d);
    j += R"(,{"name":")" + name + R"(","dbid":)" + std::to_string(d + 5) +
         R"(,"files":[{"fileid":1,"name":")" + name + R"(_Data","filename":"C:\\Data\\)" + name +
         R"(.mdf","size":128,"maxsize":-1,"growth":10,"growth_percent":true}]})";
  }
  // The table's rows follow from their numbers (the simulator's "generate"): integers and
  // texts "K<column> <row>" in turn.
  j += R"(,{"name":"Duza","dbid":900,"tables":[{"owner":"dbo","name":"Wiersze","generate":)" + std::to_string(kRows) +
       R"(,"columns":[)";
  for (int c = 0; c < kColumns; ++c)
    j += std::string(c ? "," : "") + R"({"name":"K)" + std::to_string(c) + R"(","type":")" +
         (c % 2 ? "varchar\",\"length\":20" : "int\"") + "}";
  j += "]}]}]}";
  return j;
}

class AnswerLogin : public BenchDialogs {
 public:
  int MessageBox(QWidget*, const QString& Text, const QString&, MsgIcon, int) override {
    std::fprintf(stderr, "message: %s\n", Text.toStdString().c_str());
    return mbOK;
  }
};

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM").
size_t StatusBytes(const std::string& Field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(Field + ":", 0) == 0) return std::stoull(line.substr(Field.size() + 1)) * 1024;
  return 0;
}

// Starts the peak resident size afresh from the current one.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The first paint of rows of a query window's first grid after Start (the grid is made
// when its result begins).
class FirstGridPaint : public QObject {
 public:
  explicit FirstGridPaint(TQueryWindow* Window) : FWindow(Window) { qApp->installEventFilter(this); }
  ~FirstGridPaint() override { qApp->removeEventFilter(this); }
  void Start() {
    FStart = Clock::now();
    FSeconds = -1;
  }
  double Seconds() const { return FSeconds; }
  bool eventFilter(QObject* Object, QEvent* Event) override {
    if (Event->type() != QEvent::Paint || FSeconds >= 0 || FWindow->Grids()->Count() == 0) return false;
    TListView* grid = FWindow->Grids()->Grid(0);
    if (Object == grid->viewport() && grid->RowCount() > 0) FSeconds = ::Seconds(FStart);
    return false;
  }

 private:
  TQueryWindow* FWindow;
  Clock::time_point FStart;
  double FSeconds = -1;
};

// The first paint of the list's rows after Start.
class FirstPaint : public QObject {
 public:
  explicit FirstPaint(TListView* List) : FList(List) { List->viewport()->installEventFilter(this); }
  void Start() {
    FStart = Clock::now();
    FSeconds = -1;
  }
  double Seconds() const { return FSeconds; }
  bool eventFilter(QObject*, QEvent* Event) override {
    if (Event->type() == QEvent::Paint && FSeconds < 0 && FList->RowCount() > 0) FSeconds = ::Seconds(FStart);
    return false;
  }

 private:
  TListView* FList;
  Clock::time_point FStart;
  double FSeconds = -1;
};

}  // namespace

// The process's processor time and page faults from construction, read by Since.
struct Usage {
  double Cpu = 0;
  long Faults = 0;
  Usage() { Read(Cpu, Faults); }
  Usage Since() const {
    Usage now;
    now.Cpu -= Cpu;
    now.Faults -= Faults;
    return now;
  }
  static void Read(double& Cpu, long& Faults) {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    Cpu = double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    Faults = u.ru_minflt + u.ru_majflt;
  }
};

int main(int argc, char** argv) {
  PrepareOffscreenWindows();
  QApplication application(argc, argv);
  msde::testkit::TempDir dir;
  // What the tool keeps for the user (the servers connected to) stays in the bench's directory.
  setenv("VANDREL_REGISTRY_DIR", dir.Path().c_str(), 0);
  const std::string data = dir.Path() + "/bench.json";
  std::ofstream(data) << DataSet();
  msde::testkit::SimServerOptions options;
  options.data_file = data;
  msde::testkit::SimServer sim(options);
  setenv("TDSPORT", std::to_string(sim.Port()).c_str(), 1);

  AnswerLogin seam;
  DialogSeam::Install(&seam);
  TForm1 form;
  int statements = 0;
  auto report = form.MOdbcLink1->OnQuery;
  form.MOdbcLink1->OnQuery = [&](TMCustomDBLink* Link, AnsiString& Text, TMParams* Params, TMQueryContext Context,
                                 const Exception* E) {
    if (Context == mqcExecBefore || Context == mqcOpenBefore) ++statements;
    report(Link, Text, Params, Context, E);
  };
  form.Commands(TCommandId::cmHideSystemDatabases).first()->setChecked(true);
  form.FormShow();

  statements = 0;
  auto start = Clock::now();
  form.RefreshTree();
  const double rebuild = Seconds(start);
  const int rebuildStatements = statements;
  std::printf("tree rebuild, %d databases: %.3f s, %d statements (%.2f per database)\n", kDatabases, rebuild,
              rebuildStatements, double(rebuildStatements) / kDatabases);

  // The library alone: the same statement read forward-only, field by field, each text read
  // as the list reads it.
  auto libraryRead = [&form] {
    TKMQuery& q = *form.KMQuery1;
    q.Close();
    q.GetSQL().SetText("use Duza");
    q.ExecSQL();
    q.Close();
    q.SetForwardOnly(true);
    q.GetSQL().SetText("select * from dbo.Wiersze");
    q.Open();
    size_t bytes = 0;
    TMFields* fields = q.GetFields();
    for (; !q.GetEof(); q.Next())
      for (int c = 0; c < q.GetFieldCount(); ++c) bytes += fields->GetFields(c)->GetEditText().size();
    q.Close();
    q.SetForwardOnly(false);
    return bytes;
  };
  // The list as the user sees it: the window on screen, the rows painted as they come.
  form.resize(1000, 700);
  form.show();
  QApplication::processEvents();
  FirstPaint firstPaint(form.ListView1);
  auto listRead = [&] {
    firstPaint.Start();
    form.QueryToListView("select * from dbo.Wiersze", form.ListView1, "Duza");
    return firstPaint.Seconds();
  };

  // One walk first, so that neither side pays the server's and the driver's first use.
  const size_t textBytes = libraryRead();
  // The list's first fill of the table: the process's peak growth while it reads and shows it
  // (texts, their index, the rowsets, the window's painting), against the bytes of the texts.
  ResetPeak();
  const size_t before = StatusBytes("VmRSS");
  listRead();
  const size_t peak = StatusBytes("VmHWM") - before;
  const size_t held = form.ListView1->Model()->MemoryBytes();
  // Then both in turn, the best of each counting (the machine is shared); each round's
  // figures are shown too. Each of the list's rounds shows the table again, as a refresh does.
  // Processor time and page faults of the whole process (both threads) show what the wall
  // time hides when the machine is busy elsewhere.
  double list = 1e9, library = 1e9, first = 1e9, listCpu = 1e9, libraryCpu = 1e9;
  int listStatements = 0;
  for (int round = 0; round < kRounds; ++round) {
    statements = 0;
    Usage used;
    start = Clock::now();
    const double firstRound = listRead();
    const double listRound = Seconds(start);
    const Usage listUsed = used.Since();
    list = std::min(list, listRound);
    listCpu = std::min(listCpu, listUsed.Cpu);
    first = std::min(first, firstRound);
    listStatements = statements;
    used = Usage();
    start = Clock::now();
    if (libraryRead() == 0) std::printf("no data read\n");
    const double libraryRound = Seconds(start);
    const Usage libraryUsed = used.Since();
    library = std::min(library, libraryRound);
    libraryCpu = std::min(libraryCpu, libraryUsed.Cpu);
    std::printf("  round %d: list %.3f s (cpu %.3f s, %ld page faults; first rows painted after %.3f s), "
                "library %.3f s (cpu %.3f s, %ld page faults)\n",
                round + 1, listRound, listUsed.Cpu, listUsed.Faults, firstRound, libraryRound, libraryUsed.Cpu,
                libraryUsed.Faults);
  }
  std::printf("QueryToListView, %d rows x %d columns: %.3f s, %d statements, %d items; "
              "library alone (forward-only) %.3f s; ratio %.2f (best of %d rounds each)\n",
              kRows, kColumns, list, listStatements, form.ListView1->RowCount(), library, list / library, kRounds);
  std::printf("processor time: list %.3f s, library %.3f s; ratio %.2f (best of %d rounds each)\n", listCpu,
              libraryCpu, listCpu / libraryCpu, kRounds);
  std::printf("first rows painted after %.3f s (best of %d rounds)\n", first, kRounds);
  std::printf("peak memory growth while showing them: %zu bytes for %zu bytes of text (%.2fx); "
              "the list holds %zu bytes (%.2fx)\n",
              peak, textBytes, double(peak) / double(textBytes), held, double(held) / double(textBytes));

  // The query window: the same table as the technician's own query, on the window's own
  // connection, against the library's forward-only read of the same rows in the same run.
  TQueryWindow* window = NewQueryCommand(form);
  if (!window) return 1;
  window->resize(1000, 700);
  window->Editor()->setPlainText(QStringLiteral("use Duza\nselect * from dbo.Wiersze"));
  FirstGridPaint gridPaint(window);
  auto queryRead = [&] {
    gridPaint.Start();
    window->Execute();
    return gridPaint.Seconds();
  };
  // The window's first run of the table: the process's peak growth while it reads and shows
  // it, against the bytes of the texts.
  ResetPeak();
  const size_t queryBefore = StatusBytes("VmRSS");
  queryRead();
  const size_t queryPeak = StatusBytes("VmHWM") - queryBefore;
  // A side's round: its wall and processor time, and what its read answered.
  struct Round {
    double Wall, Cpu, Answer;
  };
  auto measure = [&start](auto&& Read) {
    const Usage used;
    start = Clock::now();
    const double answer = static_cast<double>(Read());
    return Round{Seconds(start), used.Since().Cpu, answer};
  };
  double query = 1e9, queryLibrary = 1e9, queryFirst = 1e9, queryCpu = 1e9, queryLibraryCpu = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    const Round q = measure(queryRead), l = measure(libraryRead);
    query = std::min(query, q.Wall);
    queryCpu = std::min(queryCpu, q.Cpu);
    queryFirst = std::min(queryFirst, q.Answer);
    queryLibrary = std::min(queryLibrary, l.Wall);
    queryLibraryCpu = std::min(queryLibraryCpu, l.Cpu);
    std::printf("  round %d: query window %.3f s (cpu %.3f s; first rows painted after %.3f s), library %.3f s (cpu %.3f s)\n",
                round + 1, q.Wall, q.Cpu, q.Answer, l.Wall, l.Cpu);
  }
  const int grids = window->Grids()->Count();
  const TListView* grid = grids > 0 ? window->Grids()->Grid(grids - 1) : nullptr;
  const size_t queryHeld = grid ? grid->Model()->MemoryBytes() : 0;
  std::printf("query window, %d rows x %d columns: %.3f s, %d rows shown; library alone (forward-only) %.3f s; "
              "ratio %.2f (best of %d rounds each)\n",
              kRows, kColumns, query, grid ? grid->RowCount() : 0, queryLibrary, query / queryLibrary, kRounds);
  std::printf("query window: processor time %.3f s, library %.3f s; ratio %.2f (best of %d rounds each)\n", queryCpu,
              queryLibraryCpu, queryCpu / queryLibraryCpu, kRounds);
  std::printf("query window: first rows painted after %.3f s (best of %d rounds)\n", queryFirst, kRounds);
  std::printf("query window: peak memory growth %zu bytes for %zu bytes of text (%.2fx); the grid holds %zu bytes "
              "(%.2fx)\n",
              queryPeak, textBytes, double(queryPeak) / double(textBytes), queryHeld,
              double(queryHeld) / double(textBytes));
  window->close();
  DialogSeam::Install(nullptr);
  return 0;
}
