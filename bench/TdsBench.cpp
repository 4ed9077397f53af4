// What the TDS front end and the FreeTDS driver add to the simulated server's own work:
// each statement is run by the engine in process (the baseline, into a sink that drops
// everything) and then through unixODBC, FreeTDS and loopback TCP against the same engine
// served by the front end. Figures are statements/s and the ratio of time to the baseline.
// Both sides first run every statement once untimed (the engine's and the driver's first
// use of a table or a code path), then in rounds, taking turns at going first; each side's
// best round counts, and the ratio is the figure to compare across machines.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iterator>
#include <string>

#include "engine/LoadEngine.h"
#include "tds/TdsServer.h"
#include "testkit/OdbcClient.h"
#include "testkit/OdbcConfig.h"

namespace {

class DroppingSink : public msde::BatchSink {
 public:
  void Columns(const std::vector<msde::ColumnInfo>&) override {}
  void RowData(const msde::Row&) override { ++rows; }
  void Info(const msde::Message&) override {}
  void Error(const msde::Message&) override {}
  void Done(int64_t, bool) override {}
  void DatabaseChanged(const std::string&, const std::string&) override {}
  long rows = 0;
};

double SecondsFor(int repeats, const std::function<void()>& work) {
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < repeats; ++i) work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main() {
  auto engine = msde::LoadEngine(std::string(MSDE_DATA_DIR) + "/demo.json", "");
  msde::tds::TdsServer server(*engine);
  msde::testkit::OdbcConfig config(server.Start(0));
  msde::testkit::OdbcClient client(config.Utf8ConnectionString("sa", ""));

  std::vector<msde::Message> errors;
  msde::LoginRequest login{"sa", "", "", "bench", "bench", "", 0};
  auto session = engine->Login(login, errors);
  if (!session) return 1;

  struct Case {
    const char* name;
    std::string sql;
    int repeats;
  };
  // In this order: the sessions start in master and the "use" leaves them in Sklep.
  const Case cases[] = {
      {"select 1", "select 1", 2000},
      {"sysdatabases list", "select name, dbid, status from sysdatabases", 500},
      {"use Sklep", "use Sklep", 2000},
      {"160 rows of Pozycje", "select * from dbo.Pozycje", 200},
  };
  constexpr int kRounds = 3;
  constexpr size_t kCases = std::size(cases);
  double in_process[kCases], odbc[kCases];
  std::fill(std::begin(in_process), std::end(in_process), 1e300);
  std::fill(std::begin(odbc), std::end(odbc), 1e300);
  // Round 0 is the untimed warm-up.
  for (int round = 0; round <= kRounds; ++round) {
    DroppingSink reset;
    engine->ExecuteBatch(*session, "use master", reset);
    client.Exec("use master");
    for (size_t k = 0; k < kCases; ++k) {
      const Case& c = cases[k];
      const int repeats = round == 0 ? 1 : c.repeats;
      DroppingSink sink;
      long rows = 0;
      auto engine_side = [&] {
        return SecondsFor(repeats, [&] { engine->ExecuteBatch(*session, c.sql, sink); });
      };
      auto odbc_side = [&] {
        return SecondsFor(repeats, [&] {
          auto result = client.Exec(c.sql);
          if (!result.sets.empty()) rows += static_cast<long>(result.Rows().size());
        });
      };
      double e = 0, o = 0;
      if (round % 2) e = engine_side(), o = odbc_side();
      else o = odbc_side(), e = engine_side();
      if (rows != sink.rows)
        std::fprintf(stderr, "%s: %ld rows in process, %ld by ODBC\n", c.name, sink.rows, rows);
      if (round == 0) continue;
      in_process[k] = std::min(in_process[k], e);
      odbc[k] = std::min(odbc[k], o);
    }
  }
  std::printf("%-22s %14s %14s %8s\n", "statement", "engine st/s", "ODBC st/s", "ratio");
  for (size_t k = 0; k < kCases; ++k)
    std::printf("%-22s %14.0f %14.0f %8.1f\n", cases[k].name, cases[k].repeats / in_process[k],
                cases[k].repeats / odbc[k], odbc[k] / in_process[k]);
  std::printf("best of %d rounds after a warm-up; ratio: msde-sim over TDS and ODBC against the engine in process\n",
              kRounds);
  engine->Logout(*session);
  server.Stop();
  return 0;
}
