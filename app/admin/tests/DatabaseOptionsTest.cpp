// The database options dialog against msde-sim: values read for a read-only and a normal
// database, "Zapisz" sending all eight statements in order, "Anuluj" sending nothing, and
// the guard refusing after "Zapisz".
#include <gmock/gmock.h>

#include <QComboBox>
#include <QLineEdit>

#include "app/admin/OKBottomDlg.h"
#include "app/admin/tests/AdminFixture.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;

namespace {

struct Shown {
  QString Caption;
  QStringList Values;
  size_t MessagesBefore = 0;  // message boxes shown before the dialog came up
};

class DatabaseOptions : public AdminWindowTest {
 protected:
  // Answers the dialog: records what it shows, lets Change edit it, then saves or cancels.
  void AnswerOptions(Shown& Seen, bool Save, std::function<void(admin::TOKBottomDlg&)> Change = {}) {
    Dialogs.DialogAnswers.push_back([this, &Seen, Save, Change](QDialog* d) {
      auto* dlg = dynamic_cast<admin::TOKBottomDlg*>(d);
      if (!dlg) return int(QDialog::Rejected);
      Seen.MessagesBefore = Dialogs.Messages.size();
      Seen.Caption = dlg->windowTitle();
      Seen.Values = {dlg->ComboBox1->currentText(), dlg->ComboBox3->currentText(), dlg->Edit1->text(),
                     dlg->ComboBox6->currentText(), dlg->ComboBox4->currentText(), dlg->ComboBox5->currentText(),
                     dlg->ComboBox7->currentText(), dlg->ComboBox8->currentText(), dlg->ComboBox9->currentText()};
      if (Change) Change(*dlg);
      return int(Save ? QDialog::Accepted : QDialog::Rejected);
    });
  }
};

TEST_F(DatabaseOptions, SavingUnchangedSendsAllEightInOrderAndRebuildsTheTree) {
  Shown seen;
  AnswerOptions(seen, true);
  SelectDatabase("Sklep");
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmDatabaseOptions);
  EXPECT_EQ(seen.Caption, QStringLiteral("Parametry bazy \"Sklep\""));
  EXPECT_EQ(seen.Values, QStringList({"MULTI_USER", "Wyłączony", "ONLINE", "Włączony", "Wyłączony", "Włączony",
                                      "Włączony", "SIMPLE", "Włączony"}));
  EXPECT_THAT(SentStarting(mark, "SELECT CAST(DATABASEPROPERTYEX").front(),
              "SELECT CAST(DATABASEPROPERTYEX(N'Sklep','UserAccess')AS nvarchar(128))");
  EXPECT_EQ(SentStarting(mark, "SELECT CAST(DATABASEPROPERTYEX").size(), 9u);
  EXPECT_THAT(SentStarting(mark, "ALTER"),
              ElementsAre("ALTER DATABASE Sklep SET MULTI_USER", "ALTER DATABASE Sklep SET READ_WRITE",
                          "ALTER DATABASE Sklep SET AUTO_CLOSE OFF", "ALTER DATABASE Sklep SET AUTO_CREATE_STATISTICS ON",
                          "ALTER DATABASE Sklep SET AUTO_SHRINK ON", "ALTER DATABASE Sklep SET AUTO_UPDATE_STATISTICS ON",
                          "ALTER DATABASE Sklep SET RECOVERY SIMPLE", "ALTER DATABASE Sklep SET TORN_PAGE_DETECTION ON"));
  EXPECT_EQ(LastText(), "Modyfikacja parametrów bazy zakończona pomyślnie");
  EXPECT_EQ(LastCaption(), "Modyfikacja parametrów bazy");
  EXPECT_EQ(SentStarting(mark, "select status, dbid").size(), 1u) << "the tree is rebuilt";
}

TEST_F(DatabaseOptions, AReadOnlyDatabaseShowsItAndAChangeReachesTheServer) {
  Shown seen;
  AnswerOptions(seen, true, [](admin::TOKBottomDlg& d) { d.ComboBox8->setCurrentText("FULL"); });
  SelectDatabase("Archiwum2006 (Offline)");
  Run(TCommandId::cmBringOnline);
  SelectDatabase("Archiwum2006 (Tylko do odczytu)");
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmDatabaseOptions);
  EXPECT_EQ(seen.Values[1], QStringLiteral("Włączony")) << "read-only";
  const std::vector<std::string> sent = SentStarting(mark, "ALTER");
  ASSERT_EQ(sent.size(), 8u);
  EXPECT_EQ(sent[1], "ALTER DATABASE Archiwum2006 SET READ_ONLY");
  EXPECT_EQ(sent[6], "ALTER DATABASE Archiwum2006 SET RECOVERY FULL");
  EXPECT_EQ(Property("Archiwum2006", "Recovery"), "FULL");
  EXPECT_EQ(LastText(), "Modyfikacja parametrów bazy zakończona pomyślnie");
}

TEST_F(DatabaseOptions, CancelSendsNothingAndAHolderMakesTheGuardRefuseAfterSaving) {
  Shown seen;
  AnswerOptions(seen, false);
  SelectDatabase("Sklep Wschód");
  size_t mark = Sim->TraceMark();
  Run(TCommandId::cmDatabaseOptions);
  EXPECT_EQ(seen.Caption, QStringLiteral("Parametry bazy \"Sklep Wschód\""));
  EXPECT_THAT(SentStarting(mark, "ALTER"), IsEmpty());
  EXPECT_THAT(SentStarting(mark, "select status, dbid"), IsEmpty());
  EXPECT_TRUE(Dialogs.Messages.empty());

  auto till = Holder("Sklep Wschód", "Kasa fiskalna");
  std::vector<Refusal> refusals;
  AnswerOptions(seen, true);
  AnswerRefusal(refusals, false);
  mark = Sim->TraceMark();
  Run(TCommandId::cmDatabaseOptions);
  ASSERT_EQ(refusals.size(), 1u) << "the guard runs after Zapisz";
  EXPECT_THAT(SentStarting(mark, "ALTER"), IsEmpty());
  EXPECT_TRUE(Dialogs.Messages.empty());
}

// Choosing SINGLE_USER takes the database from its users: "Zapisz" asks first, "Nie" the
// default, and "Nie" sends nothing; "Tak" sends the options as chosen.
TEST_F(DatabaseOptions, ChoosingSingleUserAsksFirst) {
  Shown seen;
  const auto single = [](admin::TOKBottomDlg& d) { d.ComboBox1->setCurrentText("SINGLE_USER"); };
  AnswerOptions(seen, true, single);
  Dialogs.MessageAnswers.push_back(mbNo);
  SelectDatabase("Sklep");
  size_t mark = Sim->TraceMark();
  Run(TCommandId::cmDatabaseOptions);
  EXPECT_THAT(SentStarting(mark, "ALTER"), IsEmpty());
  EXPECT_THAT(SentStarting(mark, "select dbid from sysprocesses"), IsEmpty());
  ASSERT_EQ(Dialogs.Messages.size(), 1u) << LastText();
  EXPECT_EQ(Dialogs.Messages[0].Text,
            "Czy ustawić w tryb \"Single User\" bazę \"Sklep\"? Tylko jedno połączenie będzie mogło z niej korzystać.");
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Modyfikacja parametrów bazy");
  EXPECT_EQ(Dialogs.Messages[0].Buttons, mbYes | mbNo | mbDefaultNo);

  AnswerOptions(seen, true, single);
  Dialogs.MessageAnswers.push_back(mbYes);
  mark = Sim->TraceMark();
  Run(TCommandId::cmDatabaseOptions);
  ASSERT_EQ(SentStarting(mark, "ALTER").size(), 8u);
  EXPECT_EQ(SentStarting(mark, "ALTER")[0], "ALTER DATABASE Sklep SET SINGLE_USER");
  EXPECT_EQ(Property("Sklep", "UserAccess"), "SINGLE_USER");
}

// The options take only their listed values; the first statement the server refuses ends the
// sending, and the closing message names the options the server does not hold as chosen,
// never "pomyślnie".
TEST_F(DatabaseOptions, TheFirstRefusalStopsAndTheMessageSaysWhatWasNotChanged) {
  Shown seen;
  bool editable = true;
  AnswerOptions(seen, true, [&](admin::TOKBottomDlg& d) {
    editable = d.ComboBox1->isEditable() || d.ComboBox3->isEditable() || d.ComboBox8->isEditable();
    d.ComboBox1->setCurrentText("XYZ");  // not a value of the list: nothing changes
  });
  SelectDatabase("Sklep");
  BeforeStatement("ALTER DATABASE Sklep SET READ_WRITE", [&] {
    msde::testkit::OdbcClient other(Sim->Utf8ConnectionString("sa", ""));
    EXPECT_TRUE(other.Exec("ALTER DATABASE Sklep SET OFFLINE").ok);
  });
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmDatabaseOptions);
  EXPECT_FALSE(editable);
  EXPECT_THAT(SentStarting(mark, "ALTER"),
              ElementsAre("ALTER DATABASE Sklep SET MULTI_USER", "ALTER DATABASE Sklep SET READ_WRITE"));
  int errors = 0;
  for (const auto& m : Dialogs.Messages) errors += m.Caption == "Błąd";
  EXPECT_EQ(errors, 1);
  EXPECT_THAT(LastText(), HasSubstr("Nie zmieniono parametrów bazy \"Sklep\": Tryb tylko do odczytu, AUTO_CLOSE, "));
  EXPECT_THAT(LastText(), HasSubstr("Recovery model"));
  for (const auto& m : Dialogs.Messages) EXPECT_NE(m.Text, "Modyfikacja parametrów bazy zakończona pomyślnie");
}

// Another administrator detaches the database after the tree showed it: none of the nine
// properties can be read, the user is told the defaults stand and the dialog shows exactly
// them (never a read-only switched on by the empty reads), "Zapisz" sends the defaults until
// the first refusal, the closing message names every option as not changed and the rebuilt
// tree no longer has the database; the next click shows that node's own list and commands.
TEST_F(DatabaseOptions, ReadsThatFailLeaveTheDefaultsAndAConsistentScreen) {
  Shown seen;
  AnswerOptions(seen, true);
  SelectDatabase("Hurtownia");
  msde::testkit::OdbcClient other(Sim->Utf8ConnectionString("sa", ""));
  ASSERT_TRUE(other.Exec("sp_detach_db 'Hurtownia'").ok);
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmDatabaseOptions);

  ASSERT_FALSE(Dialogs.Messages.empty());
  EXPECT_EQ(Dialogs.Messages[0].Text, "Nie udał się odczyt parametrów bazy, zostały przyjęte domyślne");
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Błąd");
  EXPECT_EQ(Dialogs.Messages[0].Icon, MsgIcon::Error);
  EXPECT_EQ(seen.MessagesBefore, 1u) << "told before the dialog opens";
  EXPECT_EQ(SentStarting(mark, "SELECT CAST(DATABASEPROPERTYEX").size(), 9u);
  EXPECT_EQ(seen.Caption, QStringLiteral("Parametry bazy \"Hurtownia\""));
  EXPECT_EQ(seen.Values, QStringList({"MULTI_USER", "Wyłączony", "ONLINE", "Włączony", "Wyłączony", "Włączony",
                                      "Włączony", "SIMPLE", "Włączony"}));
  EXPECT_THAT(SentStarting(mark, "ALTER"), ElementsAre("ALTER DATABASE Hurtownia SET MULTI_USER"));
  ASSERT_EQ(Dialogs.Messages.size(), 3u) << "the read failure, the refusal, the closing message";
  EXPECT_EQ(Dialogs.Messages[1].Caption, "Błąd");
  EXPECT_EQ(LastText(), "Nie zmieniono parametrów bazy \"Hurtownia\": Kontrola użytkowników, Tryb tylko do odczytu, "
                        "AUTO_CLOSE, AUTO_CREATE_STATISTICS, Tryb autokompresji, AUTO_UPDATE_STATISTICS, Recovery model, "
                        "Wykrywanie niekompletnych stron");
  EXPECT_EQ(Node(QStringLiteral("Hurtownia")), nullptr) << "the tree is rebuilt";

  SelectDatabase("Sklep");
  EXPECT_EQ(Headers(), QStringList({QStringLiteral("Parametr"), QStringLiteral("Wartość")}));
  EXPECT_THAT(ListColumn(0), Contains(QStringLiteral("Logiczna nazwa pliku bazy: ")));
  EXPECT_TRUE(Form->CommandEnabled(TCommandId::cmDatabaseOptions));
  EXPECT_TRUE(Form->CommandEnabled(TCommandId::cmTakeOffline));
  EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmBringOnline));
}

}  // namespace
