#pragma once
// Test ground of the ODBC tests: each test writes into a temporary directory an
// odbcinst.ini (the SQLite ODBC driver and the scriptable test driver), an odbc.ini with a
// data source on a fresh SQLite file and one on the test driver, and the driver manager
// pointed at them through ODBCSYSINI and ODBCINI. Nothing of the machine's own ODBC
// configuration is read or touched.
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "data/DbLink.h"
#include "data/Field.h"
#include "data/OdbcLink.h"
#include "foundation/MacError.h"

namespace vandrel::test {

inline constexpr const char* kSqliteDsn = "vandrel_sqlite";
inline constexpr const char* kFakeDsn = "vandrel_fake";

// A directory of the process's own under the temporary directory, removed when the
// process ends.
struct ProcessDirectory {
  ProcessDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vandrel-odbc-XXXXXX").string();
    if (mkdtemp(pattern.data())) Path = pattern;
  }
  ~ProcessDirectory() {
    std::error_code ec;
    if (!Path.empty()) std::filesystem::remove_all(Path, ec);
  }
  ProcessDirectory(const ProcessDirectory&) = delete;
  ProcessDirectory& operator=(const ProcessDirectory&) = delete;
  std::string Path;
};

class OdbcTest : public ::testing::Test {
 protected:
  // The directory is the process's own: unixODBC keeps what it read from the ini files in
  // a cache that does not notice a change of directory, so every test of the process
  // rewrites the same two files and starts from an empty database file.
  void SetUp() override {
    static const ProcessDirectory dir;
    ASSERT_FALSE(dir.Path.empty());
    Dir = dir.Path;
    DbFile = Dir + "/test.db";
    std::filesystem::remove(DbFile);
    // DontDLClose keeps a driver loaded after its last connection, so that what it leaves
    // allocated can be told apart by the leak checker.
    std::ofstream(Dir + "/odbcinst.ini") << "[SQLite3]\nDriver=" VANDREL_SQLITE_ODBC_DRIVER "\nDontDLClose=1\n\n"
                                         << "[VandrelFake]\nDriver=" VANDREL_FAKE_ODBC_DRIVER "\nDontDLClose=1\n"
#ifdef VANDREL_PSQL_ODBC_DRIVER
                                         << "\n[VandrelPostgres]\nDriver=" VANDREL_PSQL_ODBC_DRIVER "\nDontDLClose=1\n"
#endif
        ;
    std::ofstream(Dir + "/odbc.ini") << "[" << kSqliteDsn << "]\nDriver=SQLite3\nDatabase=" << DbFile << "\n\n"
                                     << "[" << kFakeDsn << "]\nDriver=VandrelFake\n";
    setenv("ODBCSYSINI", Dir.c_str(), 1);
    setenv("ODBCINI", (Dir + "/odbc.ini").c_str(), 1);
  }

  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove(DbFile, ec);
  }

  // A link on the SQLite data source, connected.
  std::unique_ptr<TMOdbcLink> Connect(const char* Dsn = kSqliteDsn) {
    auto link = std::make_unique<TMOdbcLink>();
    link->SetDataSourceName(Dsn);
    try {
      link->Open();
    } catch (const EMException& e) {
      std::string all;
      for (int i = 0; i < e.GetTopicCount(); ++i) all += e.GetTopics(i)->GetDescription() + " | ";
      ADD_FAILURE() << all;
      throw;
    }
    return link;
  }

  // Runs statements on a link without going through OnQuery's observers.
  static void Exec(TMOdbcLink& Link, const std::vector<std::string>& Statements) {
    for (const auto& s : Statements) Link.ExecSQL(s, nullptr);
  }

  std::string Dir;
  std::string DbFile;
};

// The typed table that every real driver reads: the types its columns map to, and its
// row of values (i -7, s 'zażółć', d 2.5, ts 2024-03-05 14:07:09.045, dt 2024-03-05,
// tm 14:07:09, b 5000000000).
inline void ExpectTypedColumns(TMFields& f) {
  EXPECT_EQ(f.ByName("i")->GetDataType(), mftInteger);
  EXPECT_EQ(f.ByName("s")->GetDataType(), mftString);
  EXPECT_EQ(f.ByName("d")->GetDataType(), mftFloat);
  EXPECT_EQ(f.ByName("ts")->GetDataType(), mftDateTime);
  EXPECT_EQ(f.ByName("b")->GetDataType(), mftExtended);
}

inline void ExpectTypedValues(TMFields& f) {
  EXPECT_EQ(f.ByName("i")->GetAsInteger(), -7);
  EXPECT_EQ(f.ByName("s")->GetAsString(), "zażółć");
  EXPECT_DOUBLE_EQ(f.ByName("d")->GetAsFloat(), 2.5);
  EXPECT_NEAR(f.ByName("ts")->GetAsDateTime(), 45356 + (14 * 3600 + 7 * 60 + 9.045) / 86400.0, 1e-9);
  EXPECT_DOUBLE_EQ(f.ByName("dt")->GetAsDateTime(), 45356.0);
  EXPECT_NEAR(f.ByName("tm")->GetAsDateTime(), (14 * 3600 + 7 * 60 + 9) / 86400.0, 1e-9);
  // A 64-bit integer travels as decimal text: nothing is lost beyond 2147483647.
  EXPECT_EQ(f.ByName("b")->GetAsExtended(), 5000000000.0L);
  EXPECT_EQ(f.ByName("b")->GetAsString(), "5000000000");
}

// One call of OnQuery as a test sees it.
struct QueryCall {
  TMQueryContext Context;
  std::string Text;
  const Exception* E;
};

// Records every OnQuery call of a link.
inline void RecordQueries(TMCustomDBLink& Link, std::vector<QueryCall>& Calls) {
  Link.OnQuery = [&Calls](TMCustomDBLink*, AnsiString& Text, TMParams*, TMQueryContext Context, const Exception* E) {
    Calls.push_back({Context, Text, E});
  };
}

inline std::vector<TMQueryContext> Contexts(const std::vector<QueryCall>& Calls) {
  std::vector<TMQueryContext> c;
  for (const auto& q : Calls) c.push_back(q.Context);
  return c;
}

}  // namespace vandrel::test
