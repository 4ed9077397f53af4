// Engine information, the process list and the end of a process, against msde-sim.
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <filesystem>

#include "app/admin/KillSessions.h"
#include "app/admin/Processes.h"
#include "app/admin/ServerInfo.h"
#include "app/tests/SimFixture.h"
#include "testkit/OdbcClient.h"

namespace vandrel::app::testing {
namespace {

using admin::TServerInfo;

const std::string kDataSetDir = MSDE_DATA_DIR;

class ServerAdminTest : public SimWindowTest {
 protected:
  // The server of another data set instead of the demo one.
  void UseDataSet(const std::string& File) {
    Form.reset();
    Sim.reset();  // the old server's ODBC configuration goes before the new one is written
    msde::testkit::SimServerOptions options;
    options.data_file = kDataSetDir + "/" + File;
    Sim = std::make_unique<msde::testkit::SimServer>(options);
    setenv("TDSPORT", std::to_string(Sim->Port()).c_str(), 1);
    Form = std::make_unique<TForm1>();
  }
  TServerInfo* RunEngineInfo() {
    Dialogs.DialogAnswers.push_back([](QDialog*) { return int(QDialog::Accepted); });
    for (QAction* a : Form->Commands(TCommandId::cmEngineInfo)) {
      a->trigger();
      break;
    }
    return Form->findChild<TServerInfo*>();
  }
  void RunCommand(TCommandId Command) { Form->Commands(Command).first()->trigger(); }
  void SelectProcess(const QString& Spid) {
    for (int i = 0; i < Form->ListView1->RowCount(); ++i)
      if (Form->ListView1->Text(i, 0) == Spid) {
        Form->ListView1->selectRow(i);
        return;
      }
    ADD_FAILURE() << "no process " << Spid.toStdString();
  }
  bool PopupAttached() const { return Form->ListView1->property("popup").toBool(); }
  std::string OwnSpid() { return Form->QueryScalar("select @@SPID", "master").Value; }
};

TEST_F(ServerAdminTest, EngineInfoOfTheDesktopEngineKeepsItsValuesBetweenShowings) {
  Connect();
  TServerInfo* info = RunEngineInfo();
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(Dialogs.DialogsRun.back(), "ServerInfo");
  EXPECT_EQ(info->windowTitle(), "SQL Server Engine info");
  EXPECT_TRUE(info->LblVersion->text().startsWith("MSDE Microsoft SQL Server  2000 - 8.00.2039"));
  EXPECT_EQ(info->LblServicePackTitle->text(), "Service Pack:");
  EXPECT_EQ(info->LblServicePack->text(), "SP4");
  EXPECT_EQ(info->LblCharset->text(), "cp1250 sort_order=ci_as ");
  EXPECT_EQ(info->LblCollation->text(), "Polish_CI_AS");

  // A second showing that cannot read the server information keeps what the first found.
  Sim->Stop();
  Dialogs.Messages.clear();
  EXPECT_EQ(RunEngineInfo(), info);
  EXPECT_EQ(info->LblCollation->text(), "Polish_CI_AS");
  EXPECT_EQ(Dialogs.DialogsRun.size(), 2u) << "the dialog is not shown without an answer";
}

TEST_F(ServerAdminTest, EngineInfoOfAnotherEditionAtItsBaseLevel) {
  UseDataSet("engine-standard-base-level.json");
  Connect();
  TServerInfo* info = RunEngineInfo();
  ASSERT_NE(info, nullptr);
  EXPECT_TRUE(info->LblVersion->text().startsWith("Microsoft SQL Server  2000 - 8.00.194"));
  EXPECT_TRUE(info->LblServicePackTitle->text().isEmpty());
  EXPECT_TRUE(info->LblServicePack->text().isEmpty());
  EXPECT_EQ(info->LblCharset->text(), "iso_1 sort_order=nocase_iso ");
  EXPECT_EQ(info->LblCollation->text(), "Latin1_General_CI_AS");
}

TEST(CollationDescription, SplitsByPosition) {
  std::string charset = "old", collation = "old";
  EXPECT_FALSE(admin::SplitCollationDescription("charset=cp1250 sort_order=ci_as", charset, collation));
  EXPECT_EQ(collation, "old");
  EXPECT_TRUE(admin::SplitCollationDescription("charset=cp1250 collation=", charset, collation));
  EXPECT_EQ(charset, "cp1250 ");
  EXPECT_EQ(collation, "");
  EXPECT_TRUE(admin::SplitCollationDescription("collation", charset, collation));
  EXPECT_EQ(charset, "");
}

TEST_F(ServerAdminTest, ProcessListShowsEveryProcessAndKillsASecondConnection) {
  Connect();
  msde::testkit::OdbcClient till(Sim->ConnectionString("sa", "") + ";APP=Kasa");
  msde::testkit::OdbcClient check(Sim->ConnectionString("sa", ""));
  const std::string tillSpid = till.Scalar("select @@SPID");
  RunCommand(TCommandId::cmProcesses);
  EXPECT_EQ(Headers(), QStringList({"SPID", "Nazwa_bazy", "Nazwa_logina", "Nazwa_hosta", "Nazwa_programu",
                                    "Czas_logowania", "Czas_ostatniego_polecenia", "Status", "Polecenie", "Uwagi",
                                    "Blokowany przez", "Czeka", "Otwarte transakcje", "CPU", "I/O"}));
  const QStringList spids = ListColumn(0);
  EXPECT_TRUE(spids.contains(QString::fromStdString(tillSpid)));
  EXPECT_TRUE(spids.contains(QString::fromStdString(OwnSpid())));
  EXPECT_TRUE(spids.contains("1")) << "system processes are listed too";

  SelectProcess(QString::fromStdString(tillSpid));
  const size_t mark = Sim->TraceMark();
  RunCommand(TCommandId::cmKillProcess);
  // The question names the process, its program, host, login and database, "Nie" the default;
  // then the account of what ended.
  ASSERT_EQ(Dialogs.Messages.size(), 2u);
  EXPECT_EQ(Dialogs.Messages[0].Text.rfind("Czy zakończyć proces " + tillSpid + " programu \"Kasa\"?", 0), 0u)
      << Dialogs.Messages[0].Text;
  EXPECT_NE(Dialogs.Messages[0].Text.find(tillSpid + ": program \"Kasa\", host "), std::string::npos);
  EXPECT_NE(Dialogs.Messages[0].Text.find(", login sa, baza master"), std::string::npos) << Dialogs.Messages[0].Text;
  EXPECT_NE(Dialogs.Messages[0].Text.find("Program utraci połączenie z serwerem."), std::string::npos);
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Zabij proces");
  EXPECT_EQ(Dialogs.Messages[0].Buttons, mbYes | mbNo | mbDefaultNo);
  EXPECT_EQ(Dialogs.Messages[1].Text, "Zakończone:\r\n" + tillSpid + " (Kasa)");
  bool killed = false;
  for (const auto& line : Sim->TraceSince(mark)) killed |= line.Text == "KILL " + tillSpid;
  EXPECT_TRUE(killed);
  EXPECT_EQ(check.Scalar("select count(*) from sysprocesses where spid=" + tillSpid), "0");
  EXPECT_FALSE(ListColumn(0).contains(QString::fromStdString(tillSpid)));
  EXPECT_FALSE(till.Exec("select 1").ok);
  EXPECT_EQ(Headers().value(0), "SPID");
}

TEST_F(ServerAdminTest, OwnAndSystemSessionsAreNotOfferedAndOnlyNumbersAreSent) {
  Connect();
  RunCommand(TCommandId::cmProcesses);
  for (const std::string& spid : {OwnSpid(), std::string("1")}) {
    Dialogs.Messages.clear();
    SelectProcess(QString::fromStdString(spid));
    Form->PreparePopupMenu2();
    EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmKillProcess)) << spid;
    const QString note = Form->ListView1->Text(Form->ListView1->SelectedRow(), 9);
    EXPECT_EQ(note, spid == "1" ? "(systemowy)" : "(ten program)");
    // Run all the same, the command asks nothing and sends no KILL.
    const size_t mark = Sim->TraceMark();
    admin::KillSelectedProcess(*Form);
    EXPECT_TRUE(Dialogs.Messages.empty()) << spid;
    for (const auto& line : Sim->TraceSince(mark)) EXPECT_EQ(line.Text.find("KILL"), std::string::npos) << line.Text;
    EXPECT_EQ(Headers().value(0), "SPID");
  }
  // A list row whose first column is not a number sends nothing, and the list is read again.
  {
    TListModel* model = Form->ListView1->Model();
    model->BeginFill(std::vector<TListColumn>(model->Columns()));
    model->AppendRow({"52; SHUTDOWN"});
    model->EndFill();
    Form->ListView1->selectRow(0);
  }
  const size_t mark = Sim->TraceMark();
  admin::KillSelectedProcess(*Form);
  const auto sent = Sim->TraceSince(mark);
  for (const auto& line : sent) EXPECT_EQ(line.Text.find("KILL"), std::string::npos) << line.Text;
  EXPECT_FALSE(sent.empty());
  EXPECT_TRUE(admin::IsProcessNumber("52"));
  for (const char* bad : {"", " 52", "-1", "5x", "12345678901"}) EXPECT_FALSE(admin::IsProcessNumber(bad)) << bad;
}

TEST_F(ServerAdminTest, PopupFollowsTheProcessListAndF5RefreshesWhatIsShown) {
  Connect();
  // Databases shown: the pop-up goes away and F5 rebuilds the tree.
  Form->ListView1ContextPopup();
  EXPECT_FALSE(PopupAttached());
  size_t mark = Sim->TraceMark();
  Form->FormKeyDown(Qt::Key_F5);
  bool tree = false, processes = false;
  for (const auto& line : Sim->TraceSince(mark)) {
    tree |= line.Text.find("from sysdatabases") != std::string::npos;
    processes |= line.Text.find("from sysprocesses") != std::string::npos;
  }
  EXPECT_TRUE(tree);
  EXPECT_FALSE(processes);

  RunCommand(TCommandId::cmProcesses);
  EXPECT_TRUE(PopupAttached());
  // No row selected: the pop-up is detached, and only "Procesy" attaches it again.
  Form->ListView1->clearSelection();
  Form->ListView1ContextPopup();
  EXPECT_FALSE(PopupAttached());
  mark = Sim->TraceMark();
  Form->FormKeyDown(Qt::Key_F5);
  tree = processes = false;
  for (const auto& line : Sim->TraceSince(mark)) {
    tree |= line.Text.find("from sysdatabases") != std::string::npos;
    processes |= line.Text.find("from sysprocesses") != std::string::npos;
  }
  EXPECT_TRUE(processes);
  EXPECT_FALSE(tree);
  EXPECT_TRUE(PopupAttached()) << "F5 runs Procesy, which attaches the pop-up";
  SelectProcess("1");
  Form->ListView1ContextPopup();
  EXPECT_TRUE(PopupAttached());
}

}  // namespace
}  // namespace vandrel::app::testing
