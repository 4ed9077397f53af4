// "Połącz z serwerem...": the connection dialog again at any time, after a failed or cancelled
// first connection and to change servers; the servers used before are offered.
#include <QCompleter>
#include <QStringListModel>

#include "app/StatusLine.h"
#include "app/tests/SimFixture.h"
#include "testkit/TempDir.h"

namespace vandrel::app::testing {
namespace {

class Reconnect : public SimWindowTest {
 protected:
  // The servers used before are this test's own.
  void SetUp() override {
    Store = qgetenv("VANDREL_REGISTRY_DIR");
    qputenv("VANDREL_REGISTRY_DIR", QByteArray::fromStdString(Scratch.Path()));
    SimWindowTest::SetUp();
  }
  void TearDown() override {
    SimWindowTest::TearDown();
    qputenv("VANDREL_REGISTRY_DIR", Store);
  }
  void Run(TCommandId Command) { Form->Commands(Command).first()->trigger(); }
  void ConnectCommand() { Run(TCommandId::cmConnect); }
  // The dialog answered with OK for a server named by address and port.
  void AnswerServer(int Port, const char* Password = kSaPassword) {
    const QString server = QStringLiteral("127.0.0.1,%1").arg(Port);
    Dialogs.DialogAnswers.push_back([server, Password](QDialog* d) {
      auto* dlg = static_cast<TPasswordDlg*>(d);
      dlg->Edit1->setText(server);
      dlg->Edit3->setText(QString::fromUtf8(Password));
      return int(QDialog::Accepted);
    });
  }
  QString ServerNode() const {
    return Form->TreeView1->topLevelItemCount() ? Form->TreeView1->topLevelItem(0)->text(0) : QString();
  }
  // A second server, with a name of its own.
  std::unique_ptr<msde::testkit::SimServer> SecondServer() {
    std::ifstream in(std::string(MSDE_DATA_DIR) + "/demo.json");
    std::stringstream text;
    text << in.rdbuf();
    std::string data = text.str();
    data.replace(data.find("SKLEP-SERWER"), 12, "KASA-DRUGA");
    std::ofstream(Scratch.Path() + "/second.json") << data;
    msde::testkit::SimServerOptions options;
    options.data_file = Scratch.Path() + "/second.json";
    return std::make_unique<msde::testkit::SimServer>(options);
  }

  msde::testkit::TempDir Scratch{"vandrel-reconnect"};
  QByteArray Store;
};

TEST_F(Reconnect, AWrongPasswordSaysWhyAsksAgainAndTheCommandConnectsLater) {
  AnswerLogin("zle");
  Form->FormShow();
  // Said why, then the dialog again (cancelled here): the window waits, empty, not ended.
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_NE(Dialogs.Messages[0].Text.find("Serwer odrzucił logowanie"), std::string::npos);
  EXPECT_EQ(Dialogs.DialogsRun, (std::vector<std::string>{"PasswordDlg", "PasswordDlg"}));
  EXPECT_FALSE(Form->Terminated);
  EXPECT_TRUE(Form->CommandEnabled(TCommandId::cmConnect));

  // F5 now tells where to connect instead of doing nothing.
  Form->FormKeyDown(Qt::Key_F5);
  ASSERT_EQ(Dialogs.Messages.size(), 2u);
  EXPECT_NE(Dialogs.Messages[1].Text.find("„Połącz z serwerem...”"), std::string::npos) << Dialogs.Messages[1].Text;

  AnswerLogin();
  ConnectCommand();
  EXPECT_EQ(ServerNode(), QStringLiteral("Serwer (SKLEP-SERWER)"));
  EXPECT_NE(Node("Sklep"), nullptr);
  EXPECT_EQ(Form->StatusBar1->StateLabel->text(), QStringLiteral("Połączono"));
  EXPECT_EQ(Dialogs.Messages.size(), 2u);

  // The server and user that worked are offered the next time; what failed is not kept.
  ConnectCommand();  // cancelled
  const auto offered = [this](QCompleter* c) { return static_cast<QStringListModel*>(c->model())->stringList(); };
  EXPECT_EQ(offered(Form->PasswordDlg->ServerChoices), QStringList{"(local)"});
  EXPECT_EQ(offered(Form->PasswordDlg->UserChoices), QStringList{"sa"});
  EXPECT_EQ(Form->QueryScalar("select 5", "master").Value, "5");  // Cancel kept the connection
}

TEST_F(Reconnect, TheCommandSwitchesServersAndAFailedSwitchKeepsTheServerItHad) {
  unsetenv("TDSPORT");  // each server named by its own address and port
  AnswerServer(Sim->Port());
  Form->FormShow();
  ASSERT_EQ(ServerNode(), QStringLiteral("Serwer (SKLEP-SERWER)"));
  auto second = SecondServer();
  AnswerServer(second->Port());
  ConnectCommand();
  EXPECT_EQ(ServerNode(), QStringLiteral("Serwer (KASA-DRUGA)"));
  const size_t mark = second->TraceMark();
  EXPECT_EQ(Form->QueryScalar("select CAST(SERVERPROPERTY('ServerName') AS nvarchar(128))", "master").Value, "KASA-DRUGA");
  EXPECT_FALSE(second->TraceSince(mark).empty());

  // Back to the first with a wrong password: said why; Cancel then keeps the second server.
  AnswerServer(Sim->Port(), "zle");
  ConnectCommand();
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_NE(Dialogs.Messages[0].Text.find("Serwer odrzucił logowanie"), std::string::npos);
  EXPECT_EQ(ServerNode(), QStringLiteral("Serwer (KASA-DRUGA)"));
  EXPECT_EQ(Form->QueryScalar("select CAST(SERVERPROPERTY('ServerName') AS nvarchar(128))", "master").Value, "KASA-DRUGA");

  // Both servers are offered, the latest first.
  ConnectCommand();
  const QStringList servers = static_cast<QStringListModel*>(Form->PasswordDlg->ServerChoices->model())->stringList();
  EXPECT_EQ(servers, QStringList({QStringLiteral("127.0.0.1,%1").arg(second->Port()),
                                  QStringLiteral("127.0.0.1,%1").arg(Sim->Port())}));
}

}  // namespace
}  // namespace vandrel::app::testing
