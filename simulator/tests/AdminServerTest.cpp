// Server-wide statements: sp_configure and RECONFIGURE, sp_server_info, sp_MSgetversion,
// sysprocesses and KILL.
#include "AdminFixture.h"

namespace msde::admin_test {
namespace {

using AdminServerTest = AdminTest;

TEST_F(AdminServerTest, AdvancedOptionsNeedShowAdvancedOptions) {
  const Answer hidden = Run("sp_configure 'network packet size (B)'");
  ASSERT_TRUE(hidden.HasError(15123));
  EXPECT_EQ(hidden.errors[0].text,
            "The configuration option 'network packet size (B)' does not exist, or it may be an "
            "advanced option.");
  EXPECT_EQ(Run("sp_configure").results.at(0).rows.size(), 3u);

  const Answer set = Run("sp_configure 'show advanced options', 1");
  ASSERT_TRUE(set.HasInfo(15457));
  EXPECT_EQ(set.infos[0].text, "Configuration option 'show advanced options' changed from 0 to 1. "
                               "Run the RECONFIGURE statement to install.");
  EXPECT_TRUE(Run("sp_configure 'network packet size (B)'").HasError(15123))
      << "advanced options appear once the change is installed";
  ASSERT_FALSE(Run("RECONFIGURE WITH OVERRIDE").failed());
  const Answer all = Run("sp_configure");
  ASSERT_EQ(all.results.at(0).rows.size(), 7u);
  const std::vector<ColumnInfo>& columns = all.results[0].columns;
  ASSERT_EQ(columns.size(), 5u);
  EXPECT_EQ(columns[0].name, "name");
  EXPECT_EQ(columns[3].name, "config_value");
  EXPECT_EQ(columns[4].name, "run_value");
  EXPECT_EQ(all.Cell(0, 0), "max server memory (MB)") << "listed alphabetically";
}

TEST_F(AdminServerTest, ChangesRunAfterReconfigureUnlessTheyNeedARestart) {
  Run("sp_configure 'show advanced options', 1 RECONFIGURE WITH OVERRIDE");
  ASSERT_FALSE(Run("sp_configure 'remote query timeout (s)',900").failed());
  ASSERT_FALSE(Run("sp_configure 'set working set size',1").failed());
  Answer before = Run("sp_configure 'remote query timeout (s)'");
  EXPECT_EQ(before.Cell(0, 3), "900");
  EXPECT_EQ(before.Cell(0, 4), "600");
  ASSERT_FALSE(Run("RECONFIGURE WITH OVERRIDE").failed());
  EXPECT_EQ(Run("sp_configure 'remote query timeout (s)'").Cell(0, 4), "900");
  EXPECT_EQ(Run("sp_configure 'set working set size'").Cell(0, 3), "1");
  EXPECT_EQ(Run("sp_configure 'set working set size'").Cell(0, 4), "0");
  ASSERT_FALSE(Run("sp_configure 'max server memory (MB)',2147483647").failed());
}

TEST_F(AdminServerTest, ConfigurationRefusals) {
  Run("sp_configure 'show advanced options', 1 RECONFIGURE WITH OVERRIDE");
  EXPECT_TRUE(Run("sp_configure 'network packet size (B)',100").HasError(15129));
  EXPECT_EQ(Run("sp_configure 'network packet size (B)'").Cell(0, 3), "4096");
  EXPECT_TRUE(Run("sp_configure 'server memory'").HasError(15124));
  EXPECT_EQ(Run("sp_configure 'packet'").Cell(0, 0), "network packet size (B)");
  EXPECT_TRUE(Run("sp_configure 'remote login timeout (s)',abc").failed());
  auto jan = Connect("jan", "tajne");
  EXPECT_TRUE(Run(*jan, "sp_configure 'remote login timeout (s)',5").HasError(15247));
  EXPECT_TRUE(Run(*jan, "RECONFIGURE WITH OVERRIDE").HasError(5812));
  EXPECT_FALSE(Run(*jan, "sp_configure 'remote login timeout (s)'").failed());
}

TEST_F(AdminServerTest, EngineInformation) {
  const Answer info = Run("sp_server_info");
  const ResultSet& r = info.results.at(0);
  ASSERT_GE(r.rows.size(), 11u);
  EXPECT_EQ(r.columns[2].name, "attribute_value");
  EXPECT_NE(ValueText(r.rows[1][2]).find("Desktop Engine"), std::string::npos);
  EXPECT_EQ(ValueText(r.rows[10][1]), "COLLATION_SEQ");
  EXPECT_NE(ValueText(r.rows[10][2]).find("collation="), std::string::npos);
  EXPECT_EQ(Run("sp_server_info 18").results.at(0).rows.size(), 1u);
  EXPECT_EQ(Run("sp_MSgetversion").Cell(), "8.00.2039");
}

TEST_F(AdminServerTest, MachineDescriptionOfXpMsver) {
  const Answer all = Run("xp_msver");
  const ResultSet& r = all.results.at(0);
  ASSERT_EQ(r.columns.size(), 4u);
  EXPECT_EQ(r.columns[0].name, "Index");
  EXPECT_EQ(r.columns[1].name, "Name");
  EXPECT_EQ(r.columns[2].name, "Internal_Value");
  EXPECT_EQ(r.columns[3].name, "Character_Value");
  ASSERT_EQ(r.rows.size(), 20u);
  EXPECT_EQ(all.Cell(1, 1), "ProductVersion");
  EXPECT_EQ(all.Cell(1, 2), std::to_string(8 << 16)) << "major version in the high word";
  EXPECT_EQ(all.Cell(1, 3), "8.00.2039");
  EXPECT_EQ(all.Cell(18, 0), "19");
  EXPECT_EQ(all.Cell(18, 1), "PhysicalMemory");
  EXPECT_EQ(all.Cell(18, 2), "512") << "megabytes";
  EXPECT_EQ(all.Cell(18, 3), "512 (536870912)");
  EXPECT_TRUE(IsNull(r.rows[12][2])) << "PrivateBuild has no values";

  const Answer one = Run("xp_msver 'physicalmemory'");
  ASSERT_EQ(one.results.at(0).rows.size(), 1u) << "a name picks its row, in any case";
  EXPECT_EQ(one.Cell(0, 0), "19");
  EXPECT_TRUE(Run("xp_msver 'NoSuchRow'").results.at(0).rows.empty());
}

TEST_F(AdminServerTest, KillRefusalsAndEnding) {
  EXPECT_TRUE(Run("KILL " + std::to_string(sa_->spid)).HasError(6104));
  EXPECT_TRUE(Run("KILL 1").HasError(6107));
  EXPECT_EQ(Run("KILL 0").errors.at(0).text,
            "Process ID 0 is not a valid process ID. Choose a number between 1 and 2048.");
  EXPECT_TRUE(Run("KILL 2000").HasError(6106));
  EXPECT_TRUE(Run("KILL 2000 WITH STATUSONLY").HasError(6106));
  auto jan = Connect("jan", "tajne");
  EXPECT_TRUE(Run(*jan, "KILL " + std::to_string(sa_->spid)).HasError(6102));
  // A session that is not rolling back has no status to report, and is left alone.
  EXPECT_EQ(Run("KILL " + std::to_string(jan->spid) + " WITH STATUSONLY").errors.at(0).text,
            "Status report cannot be obtained. Rollback operation for Process ID " + std::to_string(jan->spid) +
                " is not in progress.");
  EXPECT_FALSE(jan->killed);
  bool closed = false;
  jan->on_killed = [&] { closed = true; };
  ASSERT_FALSE(Run("KILL " + std::to_string(jan->spid)).failed());
  EXPECT_TRUE(jan->killed);
  EXPECT_TRUE(closed);
  EXPECT_TRUE(Run("KILL " + std::to_string(jan->spid)).HasError(6106));
}

TEST_F(AdminServerTest, SysprocessesShowsEveryConnectionAndTheInUseGuardFindsThem) {
  auto kasa = Connect("jan", "tajne", "Kasa fiskalna");
  ASSERT_FALSE(Run(*kasa, "use Sklep").failed());
  const Answer list = Run(
      "select spid AS SPID, DB_NAME(dbid) AS Nazwa_bazy,loginame AS Nazwa_logina,hostname AS "
      "Nazwa_hosta,program_name AS Nazwa_programu, login_time AS Czas_logowania, last_batch "
      "Czas_ostatniego_polecenia, Status, cmd AS Polecenie from sysprocesses");
  ASSERT_FALSE(list.failed()) << list.errors.at(0).text;
  const ResultSet& r = list.results.at(0);
  ASSERT_EQ(r.columns.size(), 9u);
  EXPECT_EQ(r.columns[6].name, "Czas_ostatniego_polecenia");
  bool system = false, own = false, other = false;
  for (const Row& row : r.rows) {
    const int64_t spid = std::get<int64_t>(row[0]);
    system = system || spid < 51;
    if (spid == sa_->spid) own = ValueText(row[7]).rfind("runnable", 0) == 0;
    if (spid == kasa->spid)
      other = ValueText(row[1]) == "Sklep" && ValueText(row[4]).rfind("Kasa fiskalna ", 0) == 0 &&
              ValueText(row[2]).rfind("jan", 0) == 0 && ValueText(row[3]).rfind("KASA1", 0) == 0;
  }
  EXPECT_TRUE(system);
  EXPECT_TRUE(own);
  EXPECT_TRUE(other);
  EXPECT_EQ(Run("use master select dbid from sysprocesses where dbid=DB_ID('Sklep')").Cell(), "5");
  EXPECT_EQ(Run("select dbid from sysprocesses where dbid=DB_ID('Uszkodzona')").results.at(0).rows.size(),
            0u);
}

}  // namespace
}  // namespace msde::admin_test
