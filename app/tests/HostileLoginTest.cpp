// What a user types in the connection dialog reaches the server as exactly that value: a
// password cannot log in as another user, a server name cannot add keys, and the status bar
// names the login the server accepted.
#include <QLabel>

#include "app/PasswordDlg.h"
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

}  // namespace
