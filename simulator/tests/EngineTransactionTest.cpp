// Transactions: nesting and @@TRANCOUNT, savepoints, implicit transactions as ODBC drivers
// switch them on, rollback when a connection ends, and one session's change waiting for
// another's transaction.
#include <thread>

#include "EngineTestSupport.h"
#include "engine/SimEngine.h"

namespace msde::engine_test {
namespace {

class EngineTransaction : public EngineTest {
 protected:
  std::string Cashiers(Session& session) {
    return Run(session, "select count(*) from Sklep.dbo.Kasjerzy").Text(0, 0);
  }
  std::string Trancount(Session& session) { return Run(session, "select @@trancount").Text(0, 0); }
  SimEngine& Sim() { return *dynamic_cast<SimEngine*>(engine_.get()); }
  // Waits (without a timer) until `spid` waits for a table another session holds.
  void AwaitBlocked(int spid) {
    for (;;) {
      {
        std::lock_guard<std::mutex> guard(Sim().Mutex());
        if (Sim().State().lock_waits.count(spid)) return;
      }
      std::this_thread::yield();
    }
  }
};

TEST_F(EngineTransaction, NestedTransactionsCommitAtTheOutermostAndRollBackWhole) {
  Run("use Sklep");
  EXPECT_EQ(Trancount(*sa_), "0");
  Run("begin tran zmiana insert Kasjerzy (IdKasjera) values (6)");
  Run("begin transaction");
  EXPECT_EQ(Trancount(*sa_), "2");
  Run("insert Kasjerzy (IdKasjera) values (7) commit");
  EXPECT_EQ(Trancount(*sa_), "1");
  EXPECT_EQ(Cashiers(*sa_), "7");
  const Answer rolled = Run("rollback tran zmiana");
  EXPECT_EQ(rolled.ErrorText(), "");
  EXPECT_EQ(Trancount(*sa_), "0");
  EXPECT_EQ(Cashiers(*sa_), "5");
  // Committed work stays.
  Run("begin tran; delete Kasjerzy where IdKasjera = 5; commit work");
  EXPECT_EQ(Cashiers(*sa_), "4");
  Answer a = Run("commit");
  EXPECT_EQ(a.ErrorNumber(), 3902);
  EXPECT_EQ(a.errors.at(0).severity, 16);
  EXPECT_EQ(a.ErrorText(), "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
  // Statements SQL Server refuses inside a transaction.
  Run("begin tran");
  EXPECT_EQ(Run("alter database Hurtownia set read_only").ErrorNumber(), 226);
  a = Run("backup database Sklep to disk = 'Sklep.bak'");
  EXPECT_EQ(a.ErrorNumber(), 3021);
  EXPECT_EQ(a.errors.back().number, 3013);
  Run("rollback");
  a = Run("rollback transaction");
  EXPECT_EQ(a.ErrorNumber(), 3903);
  EXPECT_EQ(a.ErrorText(), "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
}

TEST_F(EngineTransaction, RollbackToASavepointKeepsWhatCameBefore) {
  Run("use Sklep");
  EXPECT_EQ(Run("save tran s1").ErrorNumber(), 628);
  const std::string sold_out = Run("select count(*) from Towary where Stan = 0").Text(0, 0);
  Run("begin tran insert Kasjerzy (IdKasjera) values (6) save tran s1 delete Kasjerzy update Towary set Stan = 0");
  EXPECT_EQ(Cashiers(*sa_), "0");
  EXPECT_EQ(Run("rollback tran s1").ErrorText(), "");
  EXPECT_EQ(Trancount(*sa_), "1");
  EXPECT_EQ(Cashiers(*sa_), "6");
  EXPECT_EQ(Run("select count(*) from Towary where Stan = 0").Text(0, 0), sold_out);
  EXPECT_EQ(Run("rollback tran s2").ErrorText(), "Cannot roll back s2. No transaction or savepoint of that name was found.");
  Run("rollback");
  EXPECT_EQ(Cashiers(*sa_), "5");
}

TEST_F(EngineTransaction, ImplicitTransactionsStartWithTheFirstStatementThatReadsOrChanges) {
  Run("use Sklep");
  // What FreeTDS sends when a program turns autocommit off, and what it sends to commit.
  Run("SET IMPLICIT_TRANSACTIONS ON");
  EXPECT_EQ(Trancount(*sa_), "0");  // a SELECT from no table starts none
  Run("select count(*) from Towary");
  EXPECT_EQ(Trancount(*sa_), "1");
  Run("delete Kasjerzy where IdKasjera = 1");
  Run("IF @@TRANCOUNT > 0 ROLLBACK");
  EXPECT_EQ(Trancount(*sa_), "0");
  EXPECT_EQ(Cashiers(*sa_), "5");
  Run("delete Kasjerzy where IdKasjera = 1");
  const Answer committed = Run("IF @@TRANCOUNT > 0 COMMIT");
  EXPECT_EQ(committed.ErrorText(), "");
  EXPECT_EQ(Run("select @@trancount").Text(0, 0), "0");
  // An explicit BEGIN opens the implicit transaction as well.
  Run("begin tran");
  EXPECT_EQ(Run("select @@trancount").Text(0, 0), "2");
  Run("SET IMPLICIT_TRANSACTIONS OFF rollback");
  EXPECT_EQ(Cashiers(*sa_), "4");
  EXPECT_EQ(Trancount(*sa_), "0");
  // IF with ELSE, and a condition that does not hold.
  EXPECT_EQ(Run("if 1 = 0 select 'tak' else select 'nie'").Text(0, 0), "nie");
  EXPECT_EQ(Run("if @@trancount > 0 commit").ErrorText(), "");
}

TEST_F(EngineTransaction, AnEndedConnectionTakesItsUncommittedChangesWithIt) {
  auto cashier = Connect("kasa1", "kasa1", "Sklep");
  Run(*cashier, "begin tran delete Kasjerzy");
  // A dirty read sees the rows as they stand.
  Run("set transaction isolation level read uncommitted");
  EXPECT_EQ(Cashiers(*sa_), "0");
  Run("set transaction isolation level read committed");
  engine_->Logout(*cashier);
  EXPECT_EQ(Cashiers(*sa_), "5");
  auto other = Connect("kasa1", "kasa1", "Sklep");
  Run(*other, "begin tran update Kasjerzy set Aktywny = 0");
  EXPECT_EQ(Run("kill " + std::to_string(other->spid)).ErrorText(), "");
  EXPECT_EQ(Run("select count(*) from Sklep.dbo.Kasjerzy where Aktywny = 1").Text(0, 0), "4");
}

TEST_F(EngineTransaction, AChangeWaitsForTheTransactionThatHoldsItsTable) {
  auto other = Connect("sa", "", "Sklep");
  Run("use Sklep begin tran update Kasjerzy set Aktywny = 0 where IdKasjera = 1");
  Answer waited;
  std::thread writer([&] { waited = Run(*other, "update Kasjerzy set Imie = 'Ala' where IdKasjera = 1"); });
  AwaitBlocked(other->spid);
  EXPECT_EQ(Run("select blocked from master..sysprocesses where spid = " + std::to_string(other->spid)).Text(0, 0),
            std::to_string(sa_->spid));
  Run("commit");
  writer.join();
  EXPECT_EQ(waited.dones.at(0).first, 1);
  const Answer row = Run("select Imie, Aktywny from Kasjerzy where IdKasjera = 1");
  EXPECT_EQ(row.Text(0, 0), "Ala");
  EXPECT_EQ(row.Text(0, 1), "0");
}

TEST_F(EngineTransaction, ARollbackUndoesOnlyItsOwnRowsOfATableOthersChangedMeanwhile) {
  auto other = Connect("sa", "", "Sklep");
  Run("use Sklep begin tran update Kasjerzy set Imie = 'Ala' where IdKasjera = 1 "
      "delete Kasjerzy where IdKasjera = 4 insert Kasjerzy (IdKasjera, Imie) values (8, 'Nowy')");
  // Rows the transaction does not hold are free to another session.
  EXPECT_EQ(Run(*other, "set lock_timeout 0 update Kasjerzy set Imie = 'Ewa' where IdKasjera = 2").ErrorText(), "");
  EXPECT_EQ(Run(*other, "set lock_timeout 0 delete Kasjerzy where IdKasjera = 1").ErrorNumber(), 1222);
  Run("rollback");
  const Answer rows = Run("select IdKasjera, Imie from Kasjerzy order by IdKasjera");
  ASSERT_EQ(rows.results.at(0).rows.size(), 5u);
  EXPECT_NE(rows.Text(0, 1), "Ala");
  EXPECT_EQ(rows.Text(1, 1), "Ewa");  // the other session's committed change stays
  EXPECT_EQ(rows.Text(3, 0), "4");
}

TEST_F(EngineTransaction, ACircleOfWaitsEndsWithTheDeadlockVictimRolledBack) {
  auto other = Connect("sa", "", "Sklep");
  Run("use Sklep begin tran update Kasjerzy set Aktywny = 0");
  Run(*other, "begin tran update Towary set Stan = 1");
  Answer waited;
  std::thread writer([&] { waited = Run(*other, "update Kasjerzy set Imie = 'Ala'"); });
  AwaitBlocked(other->spid);
  const Answer victim = Run("update Towary set Stan = 2");
  writer.join();
  EXPECT_EQ(victim.ErrorNumber(), 1205);
  EXPECT_EQ(victim.errors.at(0).severity, 13);
  EXPECT_EQ(victim.ErrorText(), "Transaction (Process ID " + std::to_string(sa_->spid) +
                                    ") was deadlocked on lock resources with another process and has been "
                                    "chosen as the deadlock victim. Rerun the transaction.");
  EXPECT_EQ(Trancount(*sa_), "0");
  EXPECT_EQ(waited.dones.at(0).first, 5);
  Run(*other, "commit");
  EXPECT_EQ(Run("select count(*) from Kasjerzy where Aktywny = 1 and Imie = 'Ala'").Text(0, 0), "4");
}

}  // namespace
}  // namespace msde::engine_test
