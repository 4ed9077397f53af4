// ALTER DATABASE state changes and their effect on later statements, sysprocesses and KILL,
// with several sessions through the engine interface.
#include "AdminFixture.h"

namespace msde::admin_test {
namespace {

using AdminStateTest = AdminTest;

// The options dialog's reading statement.
std::string Property(const std::string& db, const std::string& p) {
  return "SELECT CAST(DATABASEPROPERTYEX('" + db + "','" + p + "')AS nvarchar(128))";
}

TEST_F(AdminStateTest, StateChangesShowInPropertiesAndGateEntry) {
  auto jan = Connect("jan", "tajne");  // starts in its default database, Sklep
  ASSERT_FALSE(Run(*jan, "use master").failed());
  ASSERT_FALSE(Run("use master ALTER DATABASE Sklep SET OFFLINE").failed());
  EXPECT_EQ(Run(Property("Sklep", "Status")).Cell(), "OFFLINE");
  EXPECT_TRUE(Run(*jan, "use Sklep").HasError(942));
  ASSERT_FALSE(Run("ALTER DATABASE Sklep SET ONLINE").failed());

  ASSERT_FALSE(Run("ALTER DATABASE [Sklep] SET SINGLE_USER").failed());
  EXPECT_EQ(Run(Property("Sklep", "UserAccess")).Cell(), "SINGLE_USER");
  ASSERT_FALSE(Run(*jan, "use Sklep").failed());
  EXPECT_TRUE(Run("use Sklep").HasError(924)) << "the single user is taken by jan";
  ASSERT_FALSE(Run(*jan, "use master").failed());
  ASSERT_FALSE(Run("ALTER DATABASE Sklep SET MULTI_USER").failed());

  ASSERT_FALSE(Run("ALTER DATABASE Sklep SET READ_ONLY").failed());
  EXPECT_EQ(Run(Property("Sklep", "Updateability")).Cell(), "READ_ONLY");
  EXPECT_TRUE(Run("use Sklep exec sp_adduser 'sa','kasjer'").HasError(3906));
  ASSERT_FALSE(Run("use master ALTER DATABASE Sklep SET READ_WRITE ").failed());
  EXPECT_EQ(Run(Property("Sklep", "Updateability")).Cell(), "READ_WRITE");
}

TEST_F(AdminStateTest, OptionsTheOptionsDialogSendsAreKept) {
  for (const char* option :
       {" SET RESTRICTED_USER", " SET AUTO_CLOSE ON", " SET AUTO_CREATE_STATISTICS OFF",
        " SET AUTO_SHRINK ON", " SET AUTO_UPDATE_STATISTICS OFF", " SET RECOVERY BULK_LOGGED",
        " SET TORN_PAGE_DETECTION OFF"})
    ASSERT_FALSE(Run(std::string("ALTER DATABASE Sklep") + option).failed()) << option;
  const std::pair<const char*, const char*> expected[] = {
      {"UserAccess", "RESTRICTED_USER"}, {"IsAutoClose", "1"},
      {"IsAutoCreateStatistics", "0"},   {"IsAutoShrink", "1"},
      {"IsAutoUpdateStatistics", "0"},   {"Recovery", "BULK_LOGGED"},
      {"IsTornPageDetectionEnabled", "0"}};
  for (const auto& [property, value] : expected)
    EXPECT_EQ(Run(Property("Sklep", property)).Cell(), value) << property;
  ASSERT_FALSE(Run("ALTER DATABASE Sklep SET RECOVERY FULL, MULTI_USER").failed());
  EXPECT_EQ(Run(Property("Sklep", "Recovery")).Cell(), "FULL");
}

TEST_F(AdminStateTest, StateChangeRefusedWhileAnotherConnectionUsesTheDatabase) {
  auto jan = Connect("jan", "tajne");
  ASSERT_FALSE(Run(*jan, "use Sklep").failed());
  for (const char* state : {"OFFLINE", "SINGLE_USER", "READ_ONLY"}) {
    const Answer a = Run(std::string("ALTER DATABASE Sklep SET ") + state);
    ASSERT_TRUE(a.HasError(5070)) << state;
    EXPECT_EQ(a.errors[0].text,
              "Database state cannot be changed while other users are using the database 'Sklep'");
    EXPECT_TRUE(a.HasError(5069));
  }
  EXPECT_EQ(Run(Property("Sklep", "Status")).Cell(), "ONLINE");
  // Options that need no exclusive use go through.
  EXPECT_FALSE(Run("ALTER DATABASE Sklep SET AUTO_CLOSE OFF").failed());

  // Going offline from inside the database is refused even with ROLLBACK IMMEDIATE.
  ASSERT_FALSE(Run("use Sklep").failed());
  EXPECT_TRUE(Run("ALTER DATABASE Sklep SET OFFLINE WITH ROLLBACK IMMEDIATE").HasError(5070));
  EXPECT_FALSE(jan->killed);
  ASSERT_FALSE(Run("use master").failed());

  bool closed = false;
  jan->on_killed = [&] { closed = true; };
  const Answer a = Run("ALTER DATABASE Sklep SET SINGLE_USER WITH ROLLBACK IMMEDIATE");
  EXPECT_FALSE(a.failed());
  EXPECT_TRUE(jan->killed);
  EXPECT_TRUE(closed);
}

// What a console reads of every database in one query: its state and updateability, who
// may use it, and whether this login may enter it now, on both servers alike; 2005 names its
// emergency mode, which 2000 does not have.
TEST_F(AdminStateTest, EachDatabasesStateAndAccessAreReportedAsTheServerHasThem) {
  const std::string kRead =
      "select CAST(DATABASEPROPERTYEX(name,'Status') AS varchar(20)), CAST(DATABASEPROPERTYEX(name,'UserAccess') "
      "AS varchar(20)), CAST(DATABASEPROPERTYEX(name,'Updateability') AS varchar(20)), HAS_DBACCESS(name), status "
      "from master..sysdatabases where name = ";
  for (const bool is2005 : {false, true}) {
    SCOPED_TRACE(is2005 ? "2005" : "2000");
    if (is2005) Restart(DataSet2005());
    auto jan = Connect("jan", "tajne");
    ASSERT_FALSE(Run(*jan, "use master").failed());
    EXPECT_EQ(Run(*jan, kRead + "'Sklep'").Cell(0, 3), "1") << "his shop";
    EXPECT_EQ(Run(*jan, kRead + "'Uszkodzona'").Cell(0, 3), "0") << "no user of his there";
    EXPECT_EQ(Run(*jan, kRead + "'master'").Cell(0, 3), "1") << "as its guest";
    EXPECT_EQ(Run("select HAS_DBACCESS('Nie ma'), HAS_DBACCESS(NULL)").Cell(0, 0), "");

    // Held in single-user mode by jan: no one else may enter, though it is online.
    ASSERT_FALSE(Run("ALTER DATABASE Sklep SET SINGLE_USER").failed());
    ASSERT_FALSE(Run(*jan, "use Sklep").failed());
    Answer held = Run(kRead + "'Sklep'");
    EXPECT_EQ(held.Cell(0, 0), "ONLINE");
    EXPECT_EQ(held.Cell(0, 1), "SINGLE_USER");
    EXPECT_EQ(held.Cell(0, 3), "0");
    EXPECT_EQ(Run(*jan, kRead + "'Sklep'").Cell(0, 3), "1") << "the holder itself";
    ASSERT_FALSE(Run(*jan, "use master").failed());
    EXPECT_EQ(Run(kRead + "'Sklep'").Cell(0, 3), "1") << "free again";
    ASSERT_FALSE(Run("ALTER DATABASE Sklep SET MULTI_USER, READ_ONLY").failed());
    EXPECT_EQ(Run(kRead + "'Sklep'").Cell(0, 2), "READ_ONLY");
    ASSERT_FALSE(Run("ALTER DATABASE Sklep SET READ_WRITE, OFFLINE").failed());
    Answer offline = Run(kRead + "'Sklep'");
    EXPECT_EQ(offline.Cell(0, 0), "OFFLINE");
    EXPECT_EQ(offline.Cell(0, 3), "0") << "not even the system administrator enters it";
    EXPECT_EQ(std::stoll(offline.Cell(0, 4)) & 0x200, 0x200);

    const Answer emergency = Run("ALTER DATABASE Sklep SET EMERGENCY");
    if (!is2005) {
      EXPECT_TRUE(emergency.failed()) << "2000 has no such option";
      ASSERT_FALSE(Run("ALTER DATABASE Sklep SET ONLINE").failed());
      continue;
    }
    ASSERT_FALSE(emergency.failed());
    const Answer stopped = Run(kRead + "'Sklep'");
    EXPECT_EQ(stopped.Cell(0, 0), "EMERGENCY");
    EXPECT_EQ(stopped.Cell(0, 2), "READ_ONLY");
    EXPECT_EQ(stopped.Cell(0, 3), "1") << "the system administrator may look inside";
    EXPECT_EQ(std::stoll(stopped.Cell(0, 4)) & 0x8000, 0x8000);
    EXPECT_EQ(Run(*jan, kRead + "'Sklep'").Cell(0, 3), "0") << "no one else";
    EXPECT_TRUE(Run(*jan, "use Sklep").HasError(916));
    const Answer view = Run("select state, state_desc, is_read_only from sys.databases where name = 'Sklep'");
    EXPECT_EQ(view.Cell(0, 0) + " " + view.Cell(0, 1) + " " + view.Cell(0, 2), "5 EMERGENCY 1");
    ASSERT_FALSE(Run("ALTER DATABASE Sklep SET ONLINE").failed());
    EXPECT_EQ(Run(kRead + "'Sklep'").Cell(0, 0), "ONLINE");
    EXPECT_EQ(Run(*jan, kRead + "'Sklep'").Cell(0, 3), "1");
  }
}

TEST_F(AdminStateTest, RefusalsOfBadTargets) {
  EXPECT_TRUE(Run("ALTER DATABASE Brak SET OFFLINE").HasError(911));
  EXPECT_TRUE(Run("ALTER DATABASE master SET OFFLINE").HasError(5058));
  EXPECT_EQ(Run("ALTER DATABASE Moja baza SET OFFLINE").errors.at(0).number, 170);
  auto jan = Connect("jan", "tajne");
  ASSERT_FALSE(Run(*jan, "use master").failed());
  const Answer a = Run(*jan, "ALTER DATABASE Sklep SET OFFLINE");
  EXPECT_TRUE(a.HasError(5011));
  EXPECT_TRUE(a.HasError(5069));
  ASSERT_FALSE(Run("ALTER DATABASE Sklep SET OFFLINE").failed());
  EXPECT_TRUE(Run("ALTER DATABASE Sklep SET READ_ONLY").HasError(942));
}

}  // namespace
}  // namespace msde::admin_test
