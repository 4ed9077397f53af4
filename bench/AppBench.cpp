// The main window against msde-sim: a tree rebuild over 500 databases and a 10^5-row table of
// 10 columns shown through QueryToListView. Reports wall time and statements sent; for the
// list also its ratio to the same query walked by the data-access library alone, measured in
// the same run, and the list's own memory for 10^6 rows against the bytes of their texts.
#include <QApplication>
#include <QLineEdit>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/DialogSeam.h"
#include "app/ListModel.h"
#include "app/MainWindow.h"
#include "app/PasswordDlg.h"
#include "testkit/SimServer.h"
#include "testkit/TempDir.h"

using namespace vandrel;
using namespace vandrel::app;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kDatabases = 500;
constexpr int kRows = 100000;
constexpr int kColumns = 10;
constexpr int kRounds = 3;
constexpr int kMemoryRows = 1000000;

std::string DataSet() {
  std::string j = R"({"server":{"name":"BENCH"},"logins":[{"name":"sa","password":"demo","sysadmin":true}],"databases":[)";
  j += R"({"name":"master","dbid":1,"users":[{"name":"guest","login":""}]})";
  for (int d = 0; d < kDatabases; ++d) {
    const std::string name = "Baza" + std::to_string(d);
    j += R"(,{"name":")" + name + R"(","dbid":)" + std::to_string(d + 5) +
         R"(,"files":[{"fileid":1,"name":")" + name + R"(_Data","filename":"C:\\Data\\)" + name +
         R"(.mdf","size":128,"maxsize":-1,"growth":10,"growth_percent":true}]})";
  }
  j += R"(,{"name":"Duza","dbid":900,"tables":[{"owner":"dbo","name":"Wiersze","columns":[)";
  for (int c = 0; c < kColumns; ++c)
    j += std::string(c ? "," : "") + R"({"name":"K)" + std::to_string(c) + R"(","type":")" +
         (c % 2 ? "varchar\",\"length\":20" : "int\"") + "}";
  j += R"(],"rows":[)";
  for (int r = 0; r < kRows; ++r) {
    j += r ? ",[" : "[";
    for (int c = 0; c < kColumns; ++c)
      j += std::string(c ? "," : "") + (c % 2 ? "\"wartosc " + std::to_string(r) + "\"" : std::to_string(r + c));
    j += "]";
  }
  j += "]}]}]}";
  return j;
}

class AnswerLogin : public DialogSeam {
 public:
  int MessageBox(QWidget*, const QString& Text, const QString&, MsgIcon, int) override {
    std::fprintf(stderr, "message: %s\n", Text.toStdString().c_str());
    return mbOK;
  }
  int ExecDialog(QDialog* Dialog) override {
    if (auto* login = dynamic_cast<TPasswordDlg*>(Dialog)) {
      login->Edit3->setText("demo");
      return QDialog::Accepted;
    }
    return QDialog::Rejected;
  }
  QString OpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
};

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  msde::testkit::TempDir dir;
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
  form.Commands(QStringLiteral("Nie wyświetlaj bazy systemowych")).first()->setChecked(true);
  form.FormShow();

  statements = 0;
  auto start = Clock::now();
  form.RefreshTree();
  const double rebuild = Seconds(start);
  const int rebuildStatements = statements;
  std::printf("tree rebuild, %d databases: %.3f s, %d statements (%.2f per database)\n", kDatabases, rebuild,
              rebuildStatements, double(rebuildStatements) / kDatabases);

  // The library alone: the same statements walked field by field, each text read as the
  // list reads it.
  auto libraryRead = [&form] {
    TKMQuery& q = *form.KMQuery1;
    q.Close();
    q.GetSQL().SetText("use Duza");
    q.ExecSQL();
    q.Close();
    q.GetSQL().SetText("select * from dbo.Wiersze");
    q.Open();
    size_t bytes = 0;
    for (; !q.GetEof(); q.Next())
      for (int c = 0; c < q.GetFieldCount(); ++c) bytes += q.GetFields()->GetFields(c)->GetEditText().size();
    q.Close();
    return bytes;
  };
  // One walk first, so that neither side pays the server's and the driver's first use; then
  // both in turn, the best of each counting (the machine is shared). Each round's figures
  // are shown too: a process's first fill also pays for growing the heap.
  libraryRead();
  double list = 1e9, library = 1e9;
  int listStatements = 0;
  for (int round = 0; round < kRounds; ++round) {
    statements = 0;
    start = Clock::now();
    form.QueryToListView("select * from dbo.Wiersze", form.ListView1, "Duza");
    const double listRound = Seconds(start);
    list = std::min(list, listRound);
    listStatements = statements;
    start = Clock::now();
    if (libraryRead() == 0) std::printf("no data read\n");
    const double libraryRound = Seconds(start);
    library = std::min(library, libraryRound);
    std::printf("  round %d: list %.3f s, library %.3f s\n", round + 1, listRound, libraryRound);
  }
  std::printf("QueryToListView, %d rows x %d columns: %.3f s, %d statements, %d items; "
              "library alone %.3f s; ratio %.2f (best of %d rounds each)\n",
              kRows, kColumns, list, listStatements, form.ListView1->RowCount(), library, list / library, kRounds);

  // The list's own memory for 10^6 rows of the same shape, against the bytes of their texts.
  TListModel model;
  model.BeginFill(std::vector<TListColumn>(kColumns));
  size_t textBytes = 0;
  for (int r = 0; r < kMemoryRows; ++r)
    for (int c = 0; c < kColumns; ++c) {
      const std::string text = c % 2 ? "wartosc " + std::to_string(r) : std::to_string(r + c);
      textBytes += text.size();
      model.AppendCell(c, text);
    }
  model.EndFill();
  std::printf("list memory, %d rows x %d columns: %zu bytes for %zu bytes of text (%.2fx)\n", kMemoryRows, kColumns,
              model.MemoryBytes(), textBytes, double(model.MemoryBytes()) / double(textBytes));
  DialogSeam::Install(nullptr);
  return 0;
}
