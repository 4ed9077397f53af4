// Logins, USE and the database states that decide who may enter, WAITFOR and cancelling.
#include <thread>

#include "EngineTestSupport.h"
#include "engine/SimEngine.h"

namespace msde::engine_test {
namespace {

TEST_F(EngineTest, UseChangesContextWithMessageAndEnvironmentChange) {
  const Answer a = Run("use Sklep");
  ASSERT_EQ(a.infos.size(), 1u);
  EXPECT_EQ(a.infos[0].number, 5701);
  EXPECT_EQ(a.infos[0].severity, 0);
  EXPECT_EQ(a.infos[0].text, "Changed database context to 'Sklep'.");
  ASSERT_EQ(a.database_changes.size(), 1u);
  EXPECT_EQ(a.database_changes[0], std::make_pair(std::string("master"), std::string("Sklep")));
  EXPECT_EQ(sa_->database, "Sklep");
  EXPECT_EQ(Run("use [Sklep Wschód]").infos.at(0).text, "Changed database context to 'Sklep Wschód'.");
  EXPECT_EQ(Run("use \"hurtownia\"").infos.at(0).text, "Changed database context to 'Hurtownia'.");
}

TEST_F(EngineTest, UseRefusesWhatCannotBeEntered) {
  const Answer missing = Run("use Brak select 1");
  EXPECT_EQ(missing.ErrorNumber(), 911);
  EXPECT_EQ(missing.ErrorText(),
            "Could not locate entry in sysdatabases for database 'Brak'. No entry found with that "
            "name. Make sure that the name is entered correctly.");
  EXPECT_TRUE(missing.results.empty());
  const Answer offline = Run("use Archiwum2006");
  EXPECT_EQ(offline.ErrorNumber(), 942);
  EXPECT_EQ(offline.ErrorText(), "Database 'Archiwum2006' cannot be opened because it is offline.");
  EXPECT_EQ(sa_->database, "master");
}

TEST_F(EngineTest, SingleUserDatabaseAdmitsOneConnection) {
  auto* sim = dynamic_cast<SimEngine*>(engine_.get());
  ASSERT_NE(sim, nullptr);
  sim->State().FindDatabase("Hurtownia")->Set(DbStatus::SingleUser, true);
  EXPECT_EQ(Run("use Hurtownia").ErrorNumber(), 0);
  auto other = Connect("sa", "");
  const Answer refused = Run(*other, "use Hurtownia");
  EXPECT_EQ(refused.ErrorNumber(), 924);
  EXPECT_EQ(refused.ErrorText(), "Database 'Hurtownia' is already open and can only have one user at a time.");
  EXPECT_EQ(Run(*other, "select * from Hurtownia.dbo.Dostawcy").ErrorNumber(), 924);
  Run("use master");
  EXPECT_EQ(Run(*other, "use Hurtownia").ErrorNumber(), 0);
}

TEST_F(EngineTest, LoginChecksPasswordAndDatabase) {
  EXPECT_FALSE(Connect("sa", "zle"));
  ASSERT_EQ(last_login_errors_.size(), 1u);
  EXPECT_EQ(last_login_errors_[0].number, 18456);
  EXPECT_EQ(last_login_errors_[0].severity, 14);
  EXPECT_EQ(last_login_errors_[0].text, "Login failed for user 'sa'.");
  EXPECT_FALSE(Connect("nikt", ""));
  EXPECT_FALSE(Connect("BUILTIN\\Administrators", ""));
  EXPECT_FALSE(Connect("sa", "", "Archiwum2006"));
  ASSERT_EQ(last_login_errors_.size(), 2u);
  EXPECT_EQ(last_login_errors_[0].number, 942);
  EXPECT_EQ(last_login_errors_[1].number, 4060);
  auto cashier = Connect("kasa1", "kasa1");
  ASSERT_TRUE(cashier);
  EXPECT_EQ(cashier->database, "Sklep");  // the login's default database
  EXPECT_EQ(cashier->language, "polski");
  // A login without a user in a database may not enter it.
  EXPECT_EQ(Run(*cashier, "use Hurtownia").ErrorNumber(), 916);
  auto manager = Connect("kierownik", "");
  ASSERT_TRUE(manager);
}

TEST_F(EngineTest, ReadOnlyAndOfflineDatabasesStillListButRefuseEntry) {
  auto* sim = dynamic_cast<SimEngine*>(engine_.get());
  sim->State().FindDatabase("Sklep")->Set(DbStatus::ReadOnly, true);
  EXPECT_EQ(RunIn("Sklep", "select count(*) from Towary").Text(0, 0), "40");
  EXPECT_EQ(RunIn("master", "select name from sysdatabases where dbid = 8").Text(0, 0), "Archiwum2006");
  EXPECT_EQ(Run("select * from Archiwum2006.dbo.Towary").ErrorNumber(), 942);
}

TEST_F(EngineTest, RaisErrorReportsAMessageOrAnErrorAndNowaitSendsItAtOnce) {
  const Answer a = Run("RAISERROR('krok 1', 0, 1) WITH NOWAIT RAISERROR(N'zła ilość', 16, -1) select 3 "
                       "RAISERROR('koniec', 10, 2)");
  ASSERT_EQ(a.infos.size(), 2u);
  EXPECT_EQ(a.infos[0].number, 50000);
  EXPECT_EQ(a.infos[0].text, "krok 1");
  EXPECT_TRUE(a.infos[0].now);
  EXPECT_EQ(a.infos[1].text, "koniec");
  EXPECT_EQ(a.infos[1].state, 2);
  EXPECT_FALSE(a.infos[1].now);
  ASSERT_EQ(a.errors.size(), 1u);
  EXPECT_EQ(a.errors[0].number, 50000);
  EXPECT_EQ(a.errors[0].severity, 16);
  EXPECT_EQ(a.errors[0].state, 1);
  EXPECT_EQ(a.errors[0].text, "zła ilość");
  EXPECT_EQ(a.Text(0, 0), "3") << "an error of severity 16 does not end the batch";
  EXPECT_EQ(Run("RAISERROR('x', 10)").ErrorNumber(), 170);
}

TEST_F(EngineTest, WaitForReleasesTheEngineAndStopsOnAttention) {
  auto other = Connect("sa", "");
  Answer waited;
  std::thread waiter([&] { waited = Run("waitfor delay '00:00:30' select 1"); });
  // While one connection waits, another is served.
  for (int i = 0; i < 200 && other->spid != 0; ++i) {
    const Answer list = Run(*other, "select cmd from sysprocesses where spid = " + std::to_string(sa_->spid));
    if (TrimRight(list.Text(0, 0)) == "WAITFOR") break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(TrimRight(Run(*other, "select cmd from sysprocesses where spid = " + std::to_string(sa_->spid)).Text(0, 0)),
            "WAITFOR");
  sa_->cancel_requested = true;
  waiter.join();
  EXPECT_TRUE(waited.results.empty());  // the batch ended at the wait
  EXPECT_TRUE(waited.errors.empty());
  sa_->cancel_requested = false;
  const Answer shortWait = Run("waitfor delay '00:00:00.050' select 2");
  EXPECT_EQ(shortWait.Text(0, 0), "2");
  EXPECT_EQ(Run("waitfor delay 'jutro'").ErrorNumber(), 148);
}

TEST_F(EngineTest, LogoutRemovesTheSession) {
  auto other = Connect("magazyn", "magazyn");
  ASSERT_TRUE(other);
  const std::string count = "select count(*) from sysprocesses where spid = " + std::to_string(other->spid);
  EXPECT_EQ(Run(count).Text(0, 0), "1");
  engine_->Logout(*other);
  EXPECT_EQ(Run(count).Text(0, 0), "0");
}

}  // namespace
}  // namespace msde::engine_test

namespace msde::engine_test {
namespace {

TEST_F(EngineTest, BatchGoesOnAfterStatementErrorsButNotAfterCompileErrors) {
  // A run-time error ends its statement only; the next statement still runs.
  const Answer runtime = Run("select 1/0 select 2");
  EXPECT_EQ(runtime.ErrorNumber(), 8134);
  ASSERT_EQ(runtime.results.size(), 1u);
  EXPECT_EQ(runtime.Text(0, 0), "2");
  ASSERT_EQ(runtime.dones.size(), 2u);
  EXPECT_TRUE(runtime.dones[0].second);
  EXPECT_FALSE(runtime.dones[1].second);
  const Answer procedure = Run("sp_helpuser 'nikt' select 3");
  EXPECT_EQ(procedure.ErrorNumber(), 15198);
  EXPECT_EQ(procedure.errors[0].procedure, "sp_helpuser");
  EXPECT_EQ(procedure.Text(0, 0), "3");
  // Unknown objects, unknown databases and syntax errors end the batch.
  EXPECT_TRUE(Run("select * from Brak select 4").results.empty());
  EXPECT_TRUE(Run("use Brak select 5").results.empty());
  EXPECT_TRUE(Run("select 6 from from select 7").results.empty());
  // Messages name the statement's line in the batch.
  EXPECT_EQ(Run("select 1\nselect\n  from").ErrorText(), "Line 3: Incorrect syntax near 'from'.");
}

TEST_F(EngineTest, ResultValuesMatchTheirColumnTypes) {
  // Every cell must be of the representation its column type promises the front end.
  const Answer mixed = Run("select CASE WHEN 1 = 1 THEN 'a' ELSE 2 END, CASE WHEN 1 = 0 THEN 1 ELSE '7' END, "
                           "ISNULL(NULL, 5), ISNULL(CONVERT(int, NULL), '8')");
  EXPECT_EQ(mixed.Result().columns[0].type, SqlType::VarChar);
  EXPECT_EQ(mixed.Text(0, 0), "a");
  EXPECT_EQ(mixed.Result().columns[1].type, SqlType::Int);
  EXPECT_TRUE(std::holds_alternative<int64_t>(mixed.Result().rows[0][1]));
  EXPECT_TRUE(std::holds_alternative<int64_t>(mixed.Result().rows[0][2]));
  EXPECT_TRUE(std::holds_alternative<int64_t>(mixed.Result().rows[0][3]));
  const Answer processes = RunIn("master", "select * from sysprocesses where spid = @@SPID");
  ASSERT_EQ(processes.Result().rows.size(), 1u);
  const auto& columns = processes.Result().columns;
  const Row& row = processes.Result().rows[0];
  ASSERT_EQ(columns.size(), row.size());
  for (size_t i = 0; i < columns.size(); ++i) {
    const Value& v = row[i];
    if (IsNull(v)) continue;
    switch (columns[i].type) {
      case SqlType::SmallInt: case SqlType::Int: case SqlType::BigInt:
        EXPECT_TRUE(std::holds_alternative<int64_t>(v)) << columns[i].name;
        break;
      case SqlType::DateTime:
        EXPECT_TRUE(std::holds_alternative<SqlDateTime>(v)) << columns[i].name;
        break;
      case SqlType::NChar:
        ASSERT_TRUE(std::holds_alternative<std::string>(v)) << columns[i].name;
        EXPECT_EQ(Utf8Length(std::get<std::string>(v)), static_cast<size_t>(columns[i].length)) << columns[i].name;
        break;
      default:
        EXPECT_TRUE(std::holds_alternative<std::string>(v)) << columns[i].name;
    }
  }
}

}  // namespace
}  // namespace msde::engine_test
