// The locks an open transaction holds, as sp_lock and master..syslockinfo number them, and
// DBCC INPUTBUFFER's answers for sessions that sent nothing, do not exist, or are another's.
#include "EngineTestSupport.h"

namespace msde::engine_test {
namespace {

TEST_F(EngineTest, LocksOfAChangedRowAreListedByNameAndByNumber) {
  auto other = Connect("sa", "", "Sklep");
  Run("use Sklep begin tran update Kasjerzy set Imie = 'Ala' where IdKasjera in (1, 2)");
  const std::string spid = std::to_string(sa_->spid);
  // sp_lock with a spid lists only that session's: its database, the table and page
  // intent locks and one exclusive lock per changed row.
  const Answer mine = Run(*other, "exec sp_lock " + spid);
  std::vector<std::string> kinds;
  for (const Row& row : mine.Result().rows) {
    EXPECT_EQ(ValueText(row[0]), spid);
    kinds.push_back(Trim(ValueText(row[4])) + " " + ValueText(row[6]) + " " + ValueText(row[7]));
  }
  EXPECT_THAT(kinds, ::testing::ElementsAre("DB S GRANT", "TAB IX GRANT", "PAG IX GRANT", "KEY X GRANT",
                                            "KEY X GRANT"));
  EXPECT_EQ(Run(*other, "exec sp_lock " + std::to_string(other->spid)).Result().rows.size(), 1u);
  // syslockinfo: rsc_type 7 (a key of the primary key), req_mode 5 (X), req_status 1 (granted).
  const Answer numbered = Run(*other,
                              "select rsc_type, req_mode, req_status from master..syslockinfo "
                              "where req_spid = " + spid + " and rsc_type = 7");
  ASSERT_EQ(numbered.Result().rows.size(), 2u);
  EXPECT_EQ(numbered.Text(0, 0) + numbered.Text(0, 1) + numbered.Text(0, 2), "751");
  // A rollback to a savepoint gives up the locks taken after it; the transaction's end all.
  Run("save tran s update Kasjerzy set Imie = 'Ola' where IdKasjera in (2, 3)");
  const std::string count = "select count(*) from master..syslockinfo where req_spid = " + spid + " and rsc_type = 7";
  EXPECT_EQ(Run(*other, count).Text(0, 0), "3");
  Run("rollback tran s");
  EXPECT_EQ(Run(*other, count).Text(0, 0), "2");
  EXPECT_EQ(Run(*other, "set lock_timeout 0 update Kasjerzy set Imie = 'Ewa' where IdKasjera = 3").ErrorText(), "");
  Run("commit");
  EXPECT_EQ(Run(*other, "exec sp_lock " + spid).Result().rows.size(), 1u);
}

TEST_F(EngineTest, InputBufferAnswersForNothingSentForStrangersAndForUnknownSessions) {
  auto cashier = Connect("kasa1", "kasa1", "Sklep");
  const std::string spid = std::to_string(cashier->spid);
  const Answer nothing = Run("dbcc inputbuffer(" + spid + ")");
  EXPECT_EQ(nothing.Text(0, 0), "No Event");
  EXPECT_EQ(nothing.infos.back().number, 2528);
  Run(*cashier, "select 1");
  EXPECT_EQ(Run("dbcc inputbuffer (" + spid + ") with no_infomsgs").Text(0, 2), "select 1");
  // A login that is no sysadmin reads its own session's only.
  EXPECT_EQ(Run(*cashier, "dbcc inputbuffer(" + spid + ")").Text(0, 2), "dbcc inputbuffer(" + spid + ")");
  EXPECT_NE(Run(*cashier, "dbcc inputbuffer(" + std::to_string(sa_->spid) + ")").ErrorNumber(), 0);
  EXPECT_NE(Run("dbcc inputbuffer(999)").ErrorNumber(), 0);
}

}  // namespace
}  // namespace msde::engine_test
