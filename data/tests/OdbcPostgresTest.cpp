// The library against a second real driver: psqlODBC talking to a PostgreSQL server of the
// test's own, started in a temporary directory with its socket there and no TCP port, and
// stopped and removed at the end. Skipped (saying why) where the server or the driver is
// not installed.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "OdbcTestEnv.h"
#include "data/Query.h"
#include "foundation/TfTools.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;

// The newest installed server's programs, "" when none is.
std::string ServerBin() {
  std::string best;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/usr/lib/postgresql", ec))
    if (fs::exists(e.path() / "bin" / "pg_ctl") && e.path().string() > best) best = e.path().string();
  return best.empty() ? best : best + "/bin/";
}

// A private server: initdb and pg_ctl in a temporary directory. The server refuses to run
// as root, so under root its commands run as the "postgres" user.
class PrivateServer {
 public:
  bool Start(std::string& Why) {
    const std::string bin = ServerBin();
    if (bin.empty()) return Why = "no PostgreSQL server installed", false;
    if (!fs::exists(VANDREL_PSQL_ODBC_DRIVER)) return Why = "no psqlODBC driver installed", false;
    std::string dir = (fs::temp_directory_path() / "vandrel-pg-XXXXXX").string();
    if (!mkdtemp(dir.data())) return Why = "no temporary directory", false;
    Dir = dir;
    if (getuid() == 0) {
      const passwd* pw = getpwnam("postgres");
      if (!pw || chown(Dir.c_str(), pw->pw_uid, pw->pw_gid) != 0) return Why = "no postgres user to run it", false;
      As = "runuser -u postgres -- ";
    }
    if (!Run(bin + "initdb -D " + Dir + "/data -A trust -U vandrel -E UTF8 --locale=C --no-sync"))
      return Why = "initdb failed", false;
    Started = Run(bin + "pg_ctl -D " + Dir + "/data -l " + Dir + "/log -w -o \"-k " + Dir +
                  " -c listen_addresses= -F\" start");
    if (!Started) return Why = "the server did not start", false;
    Stop = bin + "pg_ctl -D " + Dir + "/data -m immediate -w stop";
    return true;
  }
  ~PrivateServer() {
    if (Started) Run(Stop);
    std::error_code ec;
    if (!Dir.empty()) fs::remove_all(Dir, ec);
  }
  std::string ConnectString() const {
    // The driver by its name in the test's odbcinst.ini, which keeps it loaded to the end.
    return "DRIVER={VandrelPostgres};Servername=" + Dir +
           ";Port=5432;Database=postgres;Username=vandrel;";
  }

 private:
  bool Run(const std::string& Command) { return std::system((As + Command + " >/dev/null 2>&1").c_str()) == 0; }

  std::string Dir;
  std::string As;
  std::string Stop;
  bool Started = false;
};

class OdbcPostgres : public test::OdbcTest {
 protected:
  static void SetUpTestSuite() {
    Server = new PrivateServer;
    if (!Server->Start(Why)) {
      delete Server;
      Server = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete Server;
    Server = nullptr;
  }
  void SetUp() override {
    test::OdbcTest::SetUp();
    if (!Server) GTEST_SKIP() << "PostgreSQL test skipped: " << Why;
    link = std::make_unique<TMOdbcLink>();
    const std::string text = Server->ConnectString();
    link->OnGetConnectString = [text](TMOdbcLink*, AnsiString& S, const AnsiString, const AnsiString,
                                      const AnsiString, TMOdbcConnectOption& O, HWND&) {
      S = text;
      O = mcoNoPrompt;
    };
    link->Open();
  }
  void OpenQuery(TKMQuery& q, const std::string& Sql) {
    q.SetLink(link.get());
    q.GetSQL().SetText(Sql);
    q.Open();
  }

  static inline PrivateServer* Server = nullptr;
  static inline std::string Why;
  std::unique_ptr<TMOdbcLink> link;
};

// The typed table of the SQLite tests, with a real decimal column: every value reads back
// as it was stored, nulls apart, a decimal with its scale, from every rowset of the copy.
TEST_F(OdbcPostgres, TypedTableReadsBackExactly) {
  Exec(*link, {"create table t(k integer, i integer, s varchar(10), d double precision, ts timestamp, dt date, "
               "tm time, b bigint, n numeric(12,2))",
               "insert into t values(0, null, null, null, null, null, null, null, null)",
               "insert into t values(1, -7, 'zażółć', 2.5, '2024-03-05 14:07:09.045', '2024-03-05', '14:07:09', "
               "5000000000, 12345678.91)",
               "insert into t select g, g, 'w' || g, g * 0.1, null, null, null, g, g / 100.0 "
               "from generate_series(2, 44) g"});
  TKMQuery q;
  OpenQuery(q, "select * from t order by k");
  TMFields& f = *q.GetFields();
  test::ExpectTypedColumns(f);
  EXPECT_EQ(f.ByName("n")->GetDataType(), mftFloat);
  for (int i = 1; i < f.GetCount(); ++i) EXPECT_TRUE(f.GetFields(i)->GetIsNull()) << i;
  q.Next();
  test::ExpectTypedValues(f);
  EXPECT_EQ(f.ByName("n")->GetAsString(), "12345678.91");
  EXPECT_EQ(q.GetCount(), 45);
  for (int r = 44; r >= 2; --r) {
    q.SetPosition(r);
    EXPECT_EQ(f.ByName("s")->GetAsString(), "w" + std::to_string(r));
    EXPECT_EQ(f.ByName("d")->GetAsString(), TfTools(r / 10.0).ToShortDBField());
    EXPECT_EQ(f.ByName("n")->GetAsString(), TfTools(r / 100.0).ToString(2, 2));
    EXPECT_TRUE(f.ByName("ts")->GetIsNull());
  }
}

}  // namespace
}  // namespace vandrel
