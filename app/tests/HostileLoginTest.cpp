// What a user types in the connection dialog reaches the server as exactly that value: a
// password cannot log in as another user, a server name cannot add keys, and the status bar
// names the login the server accepted.
#include <QLabel>

#include <QCheckBox>

#include "app/PasswordDlg.h"
#include "app/RecentConnections.h"
#include "app/StatusLine.h"
#include "app/tests/SimFixture.h"
#include "testkit/OdbcClient.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;

namespace {

class HostileLogin : public SimWindowTest {
 protected:
  void SetUp() override {
    SimWindowTest::SetUp();
    msde::testkit::OdbcClient admin(Sim->ConnectionString("sa", kSaPassword));
    ASSERT_TRUE(admin.Exec("sp_addlogin 'tester2', 'dobre;haslo=1', 'master'").ok);
    ASSERT_TRUE(admin.Exec("sp_addlogin 'klamra', 'a}b{c}', 'master'").ok);
  }
  // The connection dialog answered with OK and these fields.
  void Answer(const QString& Server, const QString& User, const QString& Password) {
    Dialogs.DialogAnswers.push_back([=](QDialog* d) {
      auto* dlg = static_cast<TPasswordDlg*>(d);
      dlg->Edit1->setText(Server);
      dlg->Edit2->setText(User);
      dlg->Edit3->setText(Password);
      return int(QDialog::Accepted);
    });
  }
  QString User() const { return Form->StatusBar1->UserLabel->text(); }
};

TEST_F(HostileLogin, APasswordThatSpellsKeysIsOnlyAWrongPassword) {
  Answer("(local)", "tester2", "zle;UID=sa;PWD=");
  Form->FormShow();
  EXPECT_FALSE(Form->MOdbcLink1->GetConnected());
  EXPECT_NE(Form->ServerUser, "sa");
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text.rfind("Nie udało się nawiązanie połączenia", 0), 0u) << Dialogs.Messages[0].Text;
}

TEST_F(HostileLogin, ACorrectPasswordWithSemicolonLogsInAndTheStatusBarNamesTheAcceptedLogin) {
  Answer("(local)", "tester2", "dobre;haslo=1");
  Form->FormShow();
  EXPECT_TRUE(Dialogs.Messages.empty()) << Dialogs.Messages.front().Text;
  ASSERT_TRUE(Form->MOdbcLink1->GetConnected());
  EXPECT_EQ(Form->ServerUser, "tester2");
  EXPECT_EQ(User(), QStringLiteral("Użytkownik: tester2"));
}

TEST_F(HostileLogin, AServerNameThatAddsKeysIsRefusedAndAskedAgain) {
  Answer("(local);APP=Kasa Sklep", "sa", "");
  Form->FormShow();  // the second showing of the dialog is cancelled
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_NE(Dialogs.Messages[0].Text.find("Nazwa serwera \"(local);APP=Kasa Sklep\" zawiera niedozwolony znak"),
            std::string::npos)
      << Dialogs.Messages[0].Text;
  EXPECT_FALSE(Form->MOdbcLink1->GetConnected());
  for (const auto& line : Sim->Trace()) EXPECT_NE(line.Application, "Kasa Sklep") << line.Text;
}

TEST_F(HostileLogin, APasswordWithBracesLogsIn) {
  Answer("(local)", "klamra", "a}b{c}");
  Form->FormShow();
  EXPECT_TRUE(Dialogs.Messages.empty()) << Dialogs.Messages.front().Text;
  ASSERT_TRUE(Form->MOdbcLink1->GetConnected());
  EXPECT_EQ(Form->ServerUser, "klamra");
}

TEST_F(HostileLogin, AnEmptyUserNameIsSaidAndNothingIsSent) {
  Answer("(local)", "", "");
  const size_t mark = Sim->TraceMark();
  Form->FormShow();  // the second showing of the dialog is cancelled
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text, "Nie podano nazwy użytkownika: wpisz login serwera w polu \"Użytkownik\".");
  EXPECT_FALSE(Form->MOdbcLink1->GetConnected());
  EXPECT_TRUE(Sim->TraceSince(mark).empty());
}

// The recent servers keep the server as it was reached, a port typed in its own field with
// it, and the kept entry connects again.
TEST_F(HostileLogin, ARecentServerKeepsItsPort) {
  const QString port = QString::number(Sim->Port());
  unsetenv("TDSPORT");  // no default port leads to the server
  auto answer = [&](const QString& Server, const QString& FixedPort) {
    Dialogs.DialogAnswers.push_back([=](QDialog* d) {
      auto* dlg = static_cast<TPasswordDlg*>(d);
      dlg->Edit1->setText(Server);
      if (dlg->Dynamiczny->isChecked() != FixedPort.isEmpty()) dlg->Dynamiczny->click();
      if (!FixedPort.isEmpty()) dlg->Port->setText(FixedPort);
      return int(QDialog::Accepted);
    });
  };
  answer("127.0.0.1", port);
  Form->FormShow();
  ASSERT_TRUE(Form->MOdbcLink1->GetConnected());
  for (const QString& server : {QStringLiteral("127.0.0.1"), QStringLiteral("(local)")}) {
    SCOPED_TRACE(server.toStdString());
    if (server != "127.0.0.1") {
      answer(server, port);
      ASSERT_TRUE(Form->ConnectThroughDialog());
    }
    const std::string kept = (server + "," + port).toStdString();
    ASSERT_FALSE(ReadRecentConnections().empty());
    EXPECT_EQ(ReadRecentConnections()[0].Server, kept);
    answer(QString::fromStdString(kept), {});
    EXPECT_TRUE(Form->ConnectThroughDialog());
    EXPECT_EQ(ReadRecentConnections()[0].Server, kept);
  }
}

}  // namespace
