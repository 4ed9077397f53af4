// A chosen set of commands, end to end, against both servers the tool is made for: the demo
// site on SQL Server 2000 Desktop Engine and the same site on SQL Server 2005 Express.
#include "app/admin/ServerInfo.h"
#include "app/admin/tests/AdminFixture.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;

namespace {

class BothServers : public AdminWindowTest, public ::testing::WithParamInterface<const char*> {
 protected:
  std::string DataFile() const override { return DataSet(GetParam()); }
  bool Is2005() const { return std::string(GetParam()) == "demo2005.json"; }
};

TEST_P(BothServers, TheTreeShowsTheSiteWithItsStatesUsersAndTables) {
  EXPECT_NE(Node("Sklep"), nullptr);
  EXPECT_NE(Node("Archiwum2006 (Offline)"), nullptr);
  EXPECT_NE(Node("SklepPoludnie (Uszkodzona)"), nullptr);
  QTreeWidgetItem* users = NodeUnder(Node("Sklep"), QStringLiteral("Użytkownicy"));
  Select(users);
  EXPECT_TRUE(Children(users).contains("kasa1"));
  EXPECT_TRUE(ListColumn(0).contains("kasa1"));
  QTreeWidgetItem* tables = NodeUnder(Node("Sklep"), "Tabele");
  Select(tables);
  ASSERT_NE(NodeUnder(tables, "dbo.Towary"), nullptr);
  Select(NodeUnder(tables, "dbo.Towary"));
  EXPECT_EQ(Form->ListView1->RowCount(), 10);  // its columns
  EXPECT_EQ(ListColumn(0).value(0), "IdTowaru");
  Form->Commands(TCommandId::cmShowTableContents).first()->trigger();
  EXPECT_EQ(Form->ListView1->RowCount(), 40);  // its rows
  Select(Node("Loginy"));
  EXPECT_TRUE(ListColumn(0).contains("kierownik"));
  EXPECT_TRUE(Dialogs.Messages.empty()) << Dialogs.Messages.front().Text;
}

TEST_P(BothServers, ADatabaseGoesOfflineAndComesBack) {
  SelectDatabase("Hurtownia");
  Run(TCommandId::cmTakeOffline);
  EXPECT_EQ(Property("Hurtownia", "Status"), "OFFLINE");
  EXPECT_EQ(LastText(), "Baza \"Hurtownia\" została wyłączona");
  SelectDatabase("Hurtownia (Offline)");
  Run(TCommandId::cmBringOnline);
  EXPECT_EQ(Property("Hurtownia", "Status"), "ONLINE");
  EXPECT_EQ(LastText(), "Baza \"Hurtownia\" została włączona");
}

TEST_P(BothServers, TheProcessListAndTheEngineInfoDescribeTheServer) {
  Run(TCommandId::cmProcesses);
  EXPECT_TRUE(ListColumn(0).contains(QString::fromStdString(Form->QueryScalar("select @@SPID", "master").Value)));
  EXPECT_TRUE(ListColumn(0).contains("1")) << "system processes are listed too";
  Dialogs.DialogAnswers.push_back([](QDialog*) { return int(QDialog::Accepted); });
  Run(TCommandId::cmEngineInfo);
  auto* info = Form->findChild<admin::TServerInfo*>();
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->LblServicePack->text(), Is2005() ? "SP2" : "SP4");
  EXPECT_TRUE(info->LblVersion->text().contains(Is2005() ? "9.00.3042" : "8.00.2039")) << info->LblVersion->text().toStdString();
  EXPECT_EQ(info->LblCollation->text(), "Polish_CI_AS");
}

INSTANTIATE_TEST_SUITE_P(Demo, BothServers, ::testing::Values("demo.json", "demo2005.json"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param) == "demo.json" ? "SqlServer2000" : "SqlServer2005Express";
                         });

}  // namespace
