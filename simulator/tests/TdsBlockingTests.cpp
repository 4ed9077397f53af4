// Blocking through real connections: one connection's open transaction holds the rows it
// changed, a second connection's statement on them waits (sysprocesses names the holder,
// sp_lock and DBCC INPUTBUFFER tell what and why) until the holder is killed, commits, or
// the waiter's LOCK_TIMEOUT runs out. Every wait in here is for a condition the server
// reports, never for a time.
#include <gmock/gmock.h>

#include <future>
#include <string>

#include "testkit/OdbcClient.h"
#include "testkit/SimServer.h"

namespace msde::testing {
namespace {

using testkit::ExecResult;
using testkit::OdbcClient;
using testkit::SimServer;
using testkit::SimServerOptions;

std::string Trimmed(const testkit::Cell& cell) {
  std::string text = cell.value_or("NULL");
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// The holder, the waiter and a third connection that watches them.
class Blocking : public ::testing::Test {
 protected:
  explicit Blocking(const std::string& data = "demo.json") : server_(Options(data)) {}
  static SimServerOptions Options(const std::string& data) {
    SimServerOptions options;
    options.data_file = std::string(MSDE_DATA_DIR) + "/" + data;
    return options;
  }
  std::unique_ptr<OdbcClient> Connect() {
    return std::make_unique<OdbcClient>(server_.ConnectionString("sa", "") + "DATABASE=Sklep;");
  }
  void SetUp() override {
    holder_ = Connect();
    waiter_ = Connect();
    monitor_ = Connect();
    holder_spid_ = holder_->Scalar("select @@spid");
    waiter_spid_ = waiter_->Scalar("select @@spid");
  }
  // Polls sysprocesses until the waiter is blocked; returns the blocking spid.
  std::string AwaitBlocked() {
    for (;;) {
      const std::string blocked =
          monitor_->Scalar("select blocked from master..sysprocesses where spid = " + waiter_spid_);
      if (blocked != "0") return blocked;
    }
  }
  void Hold() {
    ASSERT_TRUE(holder_->Exec("begin tran update Kasjerzy set Imie = N'Zofia' where IdKasjera = 1").ok);
  }
  std::future<ExecResult> Wait(const std::string& sql) {
    return std::async(std::launch::async, [this, sql] { return waiter_->Exec(sql); });
  }

  SimServer server_;
  std::unique_ptr<OdbcClient> holder_, waiter_, monitor_;
  std::string holder_spid_, waiter_spid_;
};

TEST_F(Blocking, AReaderWaitsForTheHolderAndGoesOnWhenItIsKilled) {
  const std::string before = monitor_->Scalar("select Imie from Kasjerzy where IdKasjera = 1");
  Hold();
  auto read = Wait("select Imie from Kasjerzy where IdKasjera = 1");
  EXPECT_EQ(AwaitBlocked(), holder_spid_);

  // What the activity view reads while the reader waits: a shared lock asked for
  // (LCK_M_S, wait type 0x0003), the holder's open transaction and its exclusive row lock.
  const auto waiting = monitor_->Exec("select waittype, lastwaittype, open_tran, waittime from master..sysprocesses "
                                      "where spid = " + waiter_spid_);
  ASSERT_TRUE(waiting.ok);
  EXPECT_EQ(Trimmed(waiting.Rows().at(0).at(0)), "0003");
  EXPECT_EQ(Trimmed(waiting.Rows().at(0).at(1)), "LCK_M_S");
  EXPECT_GE(std::stoi(Trimmed(waiting.Rows().at(0).at(3))), 0);
  EXPECT_EQ(monitor_->Scalar("select open_tran from master..sysprocesses where spid = " + holder_spid_), "1");
  const auto locks = monitor_->Exec("exec sp_lock");
  ASSERT_TRUE(locks.ok);
  int exclusive = 0, waits = 0;
  for (const auto& row : locks.Rows()) {
    if (Trimmed(row.at(0)) == holder_spid_ && Trimmed(row.at(6)) == "X" && Trimmed(row.at(7)) == "GRANT") ++exclusive;
    if (Trimmed(row.at(0)) == holder_spid_ && Trimmed(row.at(4)) == "TAB") {
      EXPECT_EQ(Trimmed(row.at(6)), "IX");
    }
    if (Trimmed(row.at(0)) == waiter_spid_ && Trimmed(row.at(7)) == "WAIT") {
      ++waits;
      EXPECT_EQ(Trimmed(row.at(6)), "S");
    }
  }
  EXPECT_EQ(exclusive, 1);  // one row changed, one row lock
  EXPECT_EQ(waits, 1);
  const auto buffer = monitor_->Exec("dbcc inputbuffer(" + holder_spid_ + ")");
  ASSERT_TRUE(buffer.ok);
  EXPECT_EQ(Trimmed(buffer.Rows().at(0).at(0)), "Language Event");
  EXPECT_EQ(Trimmed(buffer.Rows().at(0).at(2)), "begin tran update Kasjerzy set Imie = N'Zofia' where IdKasjera = 1");

  ASSERT_TRUE(monitor_->Exec("kill " + holder_spid_).ok);
  const ExecResult answer = read.get();
  ASSERT_TRUE(answer.ok);
  EXPECT_EQ(answer.Rows().at(0).at(0), before);  // the killed transaction was rolled back
  EXPECT_EQ(monitor_->Scalar("select blocked from master..sysprocesses where spid = " + waiter_spid_), "0");
}

TEST_F(Blocking, AWriterOfTheSameRowWaitsForTheCommitAndOfAnotherRowNot) {
  Hold();
  // Row-level locks: another row of the same table is free.
  const auto other = waiter_->Exec("set lock_timeout 0 update Kasjerzy set Imie = N'Ola' where IdKasjera = 2");
  EXPECT_TRUE(other.ok);
  ASSERT_TRUE(waiter_->Exec("set lock_timeout -1").ok);
  auto change = Wait("update Kasjerzy set Imie = N'Ewa' where IdKasjera = 1");
  EXPECT_EQ(AwaitBlocked(), holder_spid_);
  EXPECT_EQ(Trimmed(monitor_->Exec("select lastwaittype from master..sysprocesses where spid = " + waiter_spid_)
                        .Rows().at(0).at(0)),
            "LCK_M_U");
  ASSERT_TRUE(holder_->Exec("commit").ok);
  const ExecResult answer = change.get();
  ASSERT_TRUE(answer.ok);
  EXPECT_EQ(answer.row_counts.back(), 1);
  EXPECT_EQ(monitor_->Scalar("select Imie from Kasjerzy where IdKasjera = 1"), "Ewa");
}

TEST_F(Blocking, LockTimeoutEndsTheWaitWith1222AndTheBatchGoesOn) {
  Hold();
  const auto timed = waiter_->Exec(
      "set lock_timeout 50 update Kasjerzy set Imie = N'Ewa' where IdKasjera = 1 "
      "update Kasjerzy set Imie = N'Basia' where IdKasjera = 3");
  EXPECT_TRUE(timed.HasNative(1222));
  EXPECT_TRUE(timed.Mentions("Lock request time out period exceeded."));
  EXPECT_EQ(waiter_->Scalar("select @@lock_timeout"), "50");
  // The holder's transaction is untouched and a dirty read sees its change.
  EXPECT_EQ(holder_->Scalar("select @@trancount"), "1");
  EXPECT_EQ(waiter_->Scalar("set transaction isolation level read uncommitted "
                            "select Imie from Kasjerzy where IdKasjera = 1"),
            "Zofia");
  ASSERT_TRUE(holder_->Exec("rollback").ok);
  // 1222 ended the statement only; the batch's next statement ran.
  EXPECT_EQ(monitor_->Scalar("select Imie from Kasjerzy where IdKasjera = 3"), "Basia");
}

TEST_F(Blocking, NolockAndReaduncommittedHintsReadWithoutWaitingForTheTableOnly) {
  Hold();
  EXPECT_EQ(waiter_->Scalar("select Imie from Kasjerzy with (nolock) where IdKasjera = 1"), "Zofia");
  EXPECT_EQ(waiter_->Scalar("select k.Imie from dbo.Kasjerzy k (readuncommitted) where k.IdKasjera = 1"), "Zofia");
  // The hint is the table's: the session still reads committed rows elsewhere, also in a join.
  const auto plain = waiter_->Exec("set lock_timeout 50 select Imie from Kasjerzy where IdKasjera = 1");
  EXPECT_TRUE(plain.HasNative(1222));
  const auto joined = waiter_->Exec(
      "select a.Imie from Kasjerzy a with (nolock, index(1)) join Kasjerzy b on a.IdKasjera = b.IdKasjera");
  EXPECT_TRUE(joined.HasNative(1222));
  ASSERT_TRUE(holder_->Exec("rollback").ok);
}

TEST_F(Blocking, ACancelledWaitEndsAndARolledBackInsertFreesItsKey) {
  ASSERT_TRUE(holder_->Exec("begin tran insert Kasjerzy (IdKasjera, Imie) values (9, N'Nowy')").ok);
  auto read = Wait("select count(*) from Kasjerzy");
  EXPECT_EQ(AwaitBlocked(), holder_spid_);
  waiter_->Cancel();
  EXPECT_FALSE(read.get().ok);
  ASSERT_TRUE(holder_->Exec("rollback").ok);
  EXPECT_EQ(waiter_->Scalar("select count(*) from Kasjerzy where IdKasjera = 9"), "0");
}

// SQL Server 2005's views of the same wait.
class Blocking2005 : public Blocking {
 protected:
  Blocking2005() : Blocking("demo2005.json") {}
};

TEST_F(Blocking2005, RequestsAndTranLocksShowTheWait) {
  Hold();
  auto read = Wait("select Imie from Kasjerzy where IdKasjera = 1");
  EXPECT_EQ(AwaitBlocked(), holder_spid_);
  const auto request = monitor_->Exec(
      "select blocking_session_id, wait_type, status, open_transaction_count, command "
      "from sys.dm_exec_requests where session_id = " + waiter_spid_);
  ASSERT_TRUE(request.ok);
  ASSERT_EQ(request.Rows().size(), 1u);
  EXPECT_EQ(request.Rows()[0][0], holder_spid_);
  EXPECT_EQ(request.Rows()[0][1], "LCK_M_S");
  EXPECT_EQ(request.Rows()[0][2], "suspended");
  EXPECT_EQ(request.Rows()[0][3], "0");
  EXPECT_EQ(request.Rows()[0][4], "SELECT");
  const auto locks = monitor_->Exec(
      "select resource_type, request_mode, request_status, request_session_id from sys.dm_tran_locks "
      "where request_status = 'WAIT' or request_mode = 'X'");
  ASSERT_TRUE(locks.ok);
  ASSERT_EQ(locks.Rows().size(), 2u);
  for (const auto& row : locks.Rows()) {
    EXPECT_EQ(row[0], "KEY");  // the table has a primary key
    EXPECT_EQ(row[3], row[2] == "WAIT" ? waiter_spid_ : holder_spid_);
  }
  // sp_who's last column on 2005.
  const auto who = monitor_->Exec("exec sp_who " + waiter_spid_);
  ASSERT_TRUE(who.ok);
  EXPECT_EQ(who.sets.at(0).columns.back(), "request_id");
  EXPECT_EQ(Trimmed(who.Rows().at(0).at(5)), holder_spid_);
  ASSERT_TRUE(holder_->Exec("commit").ok);
  EXPECT_EQ(read.get().Rows().at(0).at(0), "Zofia");
}

}  // namespace
}  // namespace msde::testing
