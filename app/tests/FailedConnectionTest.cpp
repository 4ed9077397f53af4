// A connection that fails at start: the message names what went wrong, from what the driver
// reported, and what to try; the window stays open and empty.
#include "app/tests/SimFixture.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;

namespace {

const std::string kFailed = "Nie udało się nawiązanie połączenia z serwem bazy danych MSSQL";

class FailedConnection : public SimWindowTest {
 protected:
  // The one message of the failed first show.
  std::string StartAndReadMessage() {
    Form->FormShow();
    EXPECT_EQ(Form->TreeView1->topLevelItemCount(), 0);
    EXPECT_FALSE(Form->Terminated);
    EXPECT_EQ(Dialogs.Messages.size(), 1u);
    if (Dialogs.Messages.empty()) return {};
    EXPECT_EQ(Dialogs.Messages.back().Caption, "Błąd");
    EXPECT_EQ(Dialogs.Messages.back().Icon, MsgIcon::Error);
    return Dialogs.Messages.back().Text;
  }
  void AnswerLoginToServer(const QString& Server) {
    Dialogs.DialogAnswers.push_back([Server](QDialog* d) {
      static_cast<TPasswordDlg*>(d)->Edit1->setText(Server);
      return int(QDialog::Accepted);
    });
  }
};

TEST_F(FailedConnection, AWrongPasswordSaysTheLoginWasRefused) {
  AnswerLogin("niewłaściwe");
  const std::string text = StartAndReadMessage();
  EXPECT_EQ(text.rfind(kFailed, 0), 0u) << text;  // the message first, the reason under it
  EXPECT_NE(text.find("Serwer odrzucił logowanie"), std::string::npos) << text;
  EXPECT_NE(text.find("Sprawdź nazwę użytkownika i hasło"), std::string::npos) << text;
  EXPECT_NE(text.find("/18456]"), std::string::npos) << text;  // the server's own error
}

TEST_F(FailedConnection, AServerThatDoesNotAnswerIsToldApartFromARefusal) {
  Sim->Stop();  // nothing listens on the port any more
  AnswerLogin();
  const std::string text = StartAndReadMessage();
  EXPECT_EQ(text.rfind(kFailed, 0), 0u) << text;
  EXPECT_NE(text.find("Serwer nie odpowiada pod podanym adresem i portem"), std::string::npos) << text;
  EXPECT_NE(text.find("czy usługa SQL Server działa"), std::string::npos) << text;
  EXPECT_EQ(text.find("odrzucił"), std::string::npos) << text;
}

TEST_F(FailedConnection, AnUnknownHostNameIsNamedAsSuch) {
  AnswerLoginToServer(QStringLiteral("nie-ma-takiego-serwera.invalid"));
  const std::string text = StartAndReadMessage();
  EXPECT_NE(text.find("Nie znaleziono komputera o nazwie podanej jako serwer"), std::string::npos) << text;
  EXPECT_NE(text.find("Unknown host"), std::string::npos) << text;  // the driver's telling record
}


}  // namespace
