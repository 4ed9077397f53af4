// The main window over a long link: the test kit's proxy delays every chunk each way, as a VPN
// or a mobile link to a shop does. For servers of 10, 50, 100 and 500 databases, at 0 and at
// 30 ms one way, it reports the statements the server received and the wall time of connecting
// and building the tree, of selecting a database (its details), of "Stan serwera", and of each
// state command of the tree's pop-up on one database. Each time is given as a ratio to one
// round trip through the same proxy (a bare "select 1" on a connection of its own, best of
// five, measured in the same run), the unit a slow link is paid in.
#include <QApplication>
#include <QLineEdit>
#include <QTreeWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/DialogSeam.h"
#include "app/MainWindow.h"
#include "app/PasswordDlg.h"
#include "bench/WindowBench.h"
#include "testkit/OdbcClient.h"
#include "testkit/SimServer.h"
#include "testkit/TempDir.h"
#include "testkit/TestProxy.h"

using namespace vandrel;
using namespace vandrel::app;
using Clock = std::chrono::steady_clock;

namespace {

std::string DataSet(int Databases) {
  std::string j = R"({"server":{"name":"BENCH"},"logins":[{"name":"sa","password":"demo","sysadmin":true}],"databases":[)";
  j += R"({"name":"master","dbid":1,"users":[{"name":"guest","login":""}]})";
  for (int d = 0; d < Databases; ++d) {
    const std::string name = "Baza" + std::to_string(d);
    j += R"(,{"name":")" + name + R"(","dbid":)" + std::to_string(d + 5) +
         R"(,"files":[{"fileid":1,"name":")" + name + R"(_Data","filename":"C:\\Data\\)" + name +
         R"(.mdf","size":128,"maxsize":-1,"growth":10,"growth_percent":true}],)" +
         R"("tables":[{"owner":"dbo","name":"Towary","columns":[{"name":"Id","type":"int"}],"rows":[[1],[2]]}]})";
  }
  return j + "]}";
}

// Every question answered "Tak", the login given the password, every other dialog closed.
class Answers : public BenchDialogs {
 public:
  int MessageBox(QWidget*, const QString&, const QString&, MsgIcon, int Buttons) override {
    return (Buttons & mbYes) ? mbYes : mbOK;
  }
  void ShowReport(QWidget*, const QString&, const QString&, const QString&, MsgIcon) override {}
};

// Text padded to Width characters (not bytes: the captions are Polish).
std::string Padded(const std::string& Text, size_t Width) {
  size_t characters = 0;
  for (unsigned char c : Text) characters += (c & 0xC0) != 0x80;
  return Text + std::string(characters < Width ? Width - characters : 0, ' ');
}

double Seconds(Clock::duration D) { return std::chrono::duration<double>(D).count(); }

struct Figure {
  std::string Action;
  double Seconds = 0;
  size_t Statements = 0;
};

// One server of Databases databases behind a proxy of OneWay delay, the window connected
// through it.
std::vector<Figure> Measure(int Databases, std::chrono::milliseconds OneWay, double& RoundTrip) {
  msde::testkit::TempDir dir;
  const std::string data = dir.Path() + "/bench.json";
  std::ofstream(data) << DataSet(Databases);
  msde::testkit::SimServerOptions options;
  options.data_file = data;
  msde::testkit::SimServer sim(options);
  msde::testkit::TestProxy proxy(sim.Port(), OneWay);
  setenv("TDSPORT", std::to_string(proxy.Port()).c_str(), 1);
  {
    msde::testkit::OdbcClient probe("DRIVER={SQL Server};SERVER=127.0.0.1," + std::to_string(proxy.Port()) +
                                    ";UID=sa;PWD=demo;");
    RoundTrip = 1e9;
    for (int i = 0; i < 5; ++i) {
      const auto start = Clock::now();
      probe.Scalar("select 1");
      RoundTrip = std::min(RoundTrip, Seconds(Clock::now() - start));
    }
  }
  std::vector<Figure> figures;
  auto measure = [&](const std::string& Action, const std::function<void()>& Step) {
    const size_t mark = sim.TraceMark();
    const auto start = Clock::now();
    Step();
    QApplication::processEvents();
    figures.push_back({Action, Seconds(Clock::now() - start), sim.TraceSince(mark).size()});
  };
  TForm1 form;
  measure("connect + tree", [&] { form.FormShow(); });
  measure("select a database", [&] { form.SelectDatabaseNode("Baza1"); });
  measure("Stan serwera", [&] { form.SelectServerNode(); form.RunCommand(TCommandId::cmServerHealth); });
  const std::pair<TCommandId, const char*> commands[] = {
      {TCommandId::cmTakeOffline, "Wyłącz bazę"},
      {TCommandId::cmBringOnline, "Włącz bazę"},
      {TCommandId::cmSetReadOnly, "Ustaw tylko do odczytu"},
      {TCommandId::cmClearReadOnly, "Wyłącz tryb tylko do odczytu"},
      {TCommandId::cmSingleUser, "Ustaw Single User"},
      {TCommandId::cmMultiUser, "Wyłącz tryb Single User"},
      {TCommandId::cmCheck, "Sprawdź spójność bazy"},
  };
  for (const auto& [id, caption] : commands)
    measure(caption, [&, id = id] {
      form.SelectDatabaseNode("Baza1");
      if (!form.RunCommand(id)) std::fprintf(stderr, "%s: not offered\n", caption);
    });
  // The window's own connection ends with it, before the proxy and the server.
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  PrepareOffscreenWindows();
  QApplication application(argc, argv);
  msde::testkit::TempDir registry;
  setenv("VANDREL_REGISTRY_DIR", registry.Path().c_str(), 0);
  Answers seam;
  DialogSeam::Install(&seam);

  std::vector<int> sizes = {10, 50, 100, 500};
  if (argc > 1) sizes = {std::atoi(argv[1])};
  std::printf("%s %6s %7s %11s %9s %12s\n", Padded("action", 30).c_str(), "dbs", "delay", "statements", "seconds",
              "round trips");
  for (int databases : sizes)
    for (int delay : {0, 30}) {
      double roundTrip = 0;
      for (const Figure& f : Measure(databases, std::chrono::milliseconds(delay), roundTrip))
        std::printf("%s %6d %4d ms %11zu %9.3f %12.1f\n", Padded(f.Action, 30).c_str(), databases, delay,
                    f.Statements, f.Seconds, f.Seconds / roundTrip);
      std::printf("%s %6d %4d ms %11s %9.4f %12s\n", Padded("(one round trip)", 30).c_str(), databases, delay, "1",
                  roundTrip, "1.0");
    }
  DialogSeam::Install(nullptr);
  return 0;
}
