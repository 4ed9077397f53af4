// DBCC CHECKDB: consistency errors from damage marks, the single-user rule for repairs, and
// repairs that mend what their level allows.
#include "AdminFixture.h"

namespace msde::admin_test {
namespace {

using AdminDbccTest = AdminTest;

// The repair sequence the tool sends, statement by statement.
std::vector<Answer> Repair(AdminTest& t, const std::string& db, const std::string& level) {
  std::vector<Answer> answers;
  for (const std::string& sql :
       {std::string("use master"), "ALTER DATABASE " + db + " SET SINGLE_USER",
        "DBCC CHECKDB ('" + db + "'," + level + ")", "ALTER DATABASE " + db + " SET MULTI_USER"})
    answers.push_back(t.Run(sql));
  return answers;
}

TEST_F(AdminDbccTest, CleanDatabasePassesWithSummary) {
  const Answer a = Run("DBCC CHECKDB ('Sklep')");
  EXPECT_FALSE(a.failed());
  EXPECT_TRUE(a.HasInfo(2536));
  bool summary = false;
  for (const Message& m : a.infos)
    summary = summary || m.text == "CHECKDB found 0 allocation errors and 0 consistency errors "
                                   "in database 'Sklep'.";
  EXPECT_TRUE(summary);
  EXPECT_TRUE(a.HasInfo(2528));
  EXPECT_FALSE(a.HasInfo(8958));
}

TEST_F(AdminDbccTest, DamageIsReportedByObjectIdThatObjectNameResolves) {
  const Answer a = Run("DBCC CHECKDB ('Uszkodzona')");
  ASSERT_EQ(a.errors.size(), 2u);
  EXPECT_TRUE(a.HasError(8941));
  EXPECT_TRUE(a.HasError(8928));
  EXPECT_EQ(a.errors[1].text,
            "Object ID 2041058307, index ID 0: Page (1:96) could not be processed. See other "
            "errors for details.");
  EXPECT_EQ(a.errors[1].severity, 16);
  bool minimum = false;
  for (const Message& m : a.infos)
    minimum = minimum || m.text == "repair_allow_data_loss is the minimum repair level for the "
                                   "errors found by DBCC CHECKDB (Uszkodzona ).";
  EXPECT_TRUE(minimum);
  EXPECT_EQ(Run("use Uszkodzona select OBJECT_NAME(2041058307)").Cell(), "Dokumenty");
  EXPECT_EQ(Run("use master select OBJECT_NAME(2041058307)").Cell(), "");
}

TEST_F(AdminDbccTest, RepairNeedsSingleUserMode) {
  const Answer a = Run("DBCC CHECKDB ('Uszkodzona',REPAIR_ALLOW_DATA_LOSS)");
  ASSERT_TRUE(a.HasError(7919));
  EXPECT_EQ(a.errors.back().text,
            "Repair statement not processed. Database needs to be in single user mode.");
  EXPECT_EQ(Run("DBCC CHECKDB ('Uszkodzona')").errors.size(), 2u) << "nothing was mended";
}

TEST_F(AdminDbccTest, RepairMendsWhatItsLevelAllows) {
  std::vector<Answer> fast = Repair(*this, "Uszkodzona", "REPAIR_FAST");
  EXPECT_EQ(fast[2].errors.size(), 2u);
  EXPECT_FALSE(fast[3].failed());
  EXPECT_EQ(Run("DBCC CHECKDB ('Uszkodzona')").errors.size(), 2u);

  Repair(*this, "Uszkodzona", "REPAIR_REBUILD");
  const Answer after_rebuild = Run("DBCC CHECKDB ('Uszkodzona')");
  ASSERT_EQ(after_rebuild.errors.size(), 1u);
  EXPECT_EQ(after_rebuild.errors[0].number, 8928);

  std::vector<Answer> full = Repair(*this, "Uszkodzona", "REPAIR_ALLOW_DATA_LOSS");
  EXPECT_TRUE(full[2].HasError(8928)) << "a repair reports what it found";
  EXPECT_FALSE(Run("DBCC CHECKDB ('Uszkodzona')").failed());
  EXPECT_EQ(Run(
      "SELECT CAST(DATABASEPROPERTYEX('Uszkodzona','UserAccess')AS nvarchar(128))").Cell(),
      "MULTI_USER");
}

TEST_F(AdminDbccTest, RefusesMissingOfflineAndUnknownTargets) {
  EXPECT_TRUE(Run("DBCC CHECKDB ('')").HasError(2520));
  EXPECT_TRUE(Run("DBCC CHECKDB ('Brak')").HasError(2520));
  EXPECT_TRUE(Run("DBCC CHECKALLOC ('Sklep')").HasError(2526));
  ASSERT_FALSE(Run("ALTER DATABASE Sklep SET OFFLINE").failed());
  EXPECT_TRUE(Run("DBCC CHECKDB ('Sklep')").HasError(942));
  const Answer quiet = Run("use Uszkodzona DBCC CHECKDB WITH NO_INFOMSGS");
  EXPECT_EQ(quiet.errors.size(), 2u);
  EXPECT_FALSE(quiet.HasInfo(2536));
}

}  // namespace
}  // namespace msde::admin_test
