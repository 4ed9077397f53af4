// The server configuration dialog against msde-sim, on a machine of 1024 MB.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>

#include "app/PasswordDlg.h"
#include "app/admin/ServerConfig.h"
#include "app/tests/SimFixture.h"
#include "testkit/OdbcClient.h"

namespace vandrel::app::testing {
namespace {

using admin::TOKBottomDlg1;

class ServerConfigTest : public SimWindowTest {
 protected:
  void SetUp() override {
    SimWindowTest::SetUp();
    admin::PhysicalMemory = [] { return std::uint64_t(1024) << 20; };
  }
  // The statements the tool sent since Mark, in order.
  std::vector<std::string> SentSince(size_t Mark) const {
    std::vector<std::string> texts;
    for (const auto& line : Sim->TraceSince(Mark)) texts.push_back(line.Text);
    return texts;
  }
  // Runs the command; Edit changes the dialog before "Zapisz".
  std::vector<std::string> Configure(const std::function<void(TOKBottomDlg1&)>& Edit) {
    return ConfigureAndClose([Edit](TOKBottomDlg1& d) {
      Edit(d);
      return int(QDialog::Accepted);
    });
  }
  // Runs the command; Use works the dialog and gives the result it closed with.
  std::vector<std::string> ConfigureAndClose(const std::function<int(TOKBottomDlg1&)>& Use) {
    Dialogs.DialogAnswers.push_back([Use](QDialog* d) { return Use(*static_cast<TOKBottomDlg1*>(d)); });
    const size_t mark = Sim->TraceMark();
    Form->Commands(TCommandId::cmServerConfig).first()->trigger();
    return SentSince(mark);
  }
  // The statements sent after the dialog closed: from the last "show advanced options" to the
  // tree's rebuild, which must follow them.
  static std::vector<std::string> Written(const std::vector<std::string>& Sent) {
    size_t from = 0;
    for (size_t i = 0; i < Sent.size(); ++i)
      if (Sent[i] == "sp_configure 'show advanced options', 1") from = i;
    std::vector<std::string> out;
    bool rebuilt = false;
    for (size_t i = from; i < Sent.size() && !rebuilt; ++i) {
      rebuilt = Sent[i].find("from sysdatabases order by dbid") != std::string::npos;
      if (!rebuilt && Sent[i] != "use master" && Sent[i] != "select 1") out.push_back(Sent[i]);
    }
    EXPECT_TRUE(rebuilt) << "the tree is rebuilt at the end";
    return out;
  }
  // Connects as a login of the demo that the connection dialog is given.
  void ConnectAs(const char* User, const char* Password) {
    AnswerLoginAs(User, Password);
    Form->FormShow();
  }
  void SetServerMemory(int Min, int Max) {
    msde::testkit::OdbcClient admin(Sim->ConnectionString("sa", ""));
    admin.Exec("sp_configure 'show advanced options', 1");
    admin.Exec("RECONFIGURE WITH OVERRIDE");
    admin.Exec("sp_configure 'min server memory (MB)'," + std::to_string(Min));
    admin.Exec("sp_configure 'max server memory (MB)'," + std::to_string(Max));
    admin.Exec("RECONFIGURE WITH OVERRIDE");
  }
};

TEST_F(ServerConfigTest, DynamicNoLimitIsLoadedAndSentBackUnchanged) {
  Connect();
  SetServerMemory(0, 2147483647);
  const auto sent = Configure([](TOKBottomDlg1& d) {
    EXPECT_TRUE(d.RadioButton1->isChecked());
    EXPECT_EQ(d.TrackBar1->maximum(), 1024);
    EXPECT_EQ(d.TrackBar1->value(), 0);
    EXPECT_EQ(d.TrackBar2->value(), 1024);
    EXPECT_EQ(d.Edit2->text(), "20");
  });
  EXPECT_EQ(Written(sent), (std::vector<std::string>{
                               "sp_configure 'show advanced options', 1", "RECONFIGURE WITH OVERRIDE",
                               "sp_configure 'remote login timeout (s)',20",
                               "sp_configure 'remote query timeout (s)',600",
                               "sp_configure 'network packet size (B)',4096",
                               "sp_configure 'min memory per query (KB)',1024",
                               "sp_configure 'set working set size',0",
                               "sp_configure 'min server memory (MB)',0",
                               "sp_configure 'max server memory (MB)',2147483647", "RECONFIGURE WITH OVERRIDE"}));
  ASSERT_FALSE(Dialogs.Messages.empty());
  EXPECT_EQ(Dialogs.Messages.back().Caption, "Modyfikacja parametrów serwera");
}

TEST_F(ServerConfigTest, EqualMemoryIsStaticAndRunningValuesStaySelected) {
  Connect();
  SetServerMemory(512, 512);
  const auto sent = Configure([](TOKBottomDlg1& d) {
    EXPECT_TRUE(d.RadioButton2->isChecked());
    EXPECT_EQ(d.TrackBar3->value(), 512);
    d.RadioButton4->click();  // running values
    EXPECT_TRUE(d.RadioButton4->isChecked());
  });
  const auto written = Written(sent);
  EXPECT_NE(std::find(written.begin(), written.end(), "sp_configure 'min server memory (MB)',512"), written.end());
  EXPECT_NE(std::find(written.begin(), written.end(), "sp_configure 'max server memory (MB)',512"), written.end());
  // The next showing keeps the running-values choice and shows running values: a reserved
  // working set saved now runs only after a restart.
  {
    msde::testkit::OdbcClient admin(Sim->ConnectionString("sa", ""));
    admin.Exec("sp_configure 'set working set size',1");
  }
  ConfigureAndClose([](TOKBottomDlg1& d) {
    EXPECT_TRUE(d.RadioButton4->isChecked());
    EXPECT_FALSE(d.CheckBox1->isChecked()) << "the running value";
    return int(QDialog::Rejected);
  });
}

// Numbers are checked on "Zapisz": the dialog stays open with the text as typed and the field
// named; a value the server refuses is named as not saved, and "zakończona" is not said.
TEST_F(ServerConfigTest, NumbersAreCheckedOnSaveAndSettingsTheServerRefusedAreNamed) {
  Connect();
  Dialogs.Messages.clear();
  std::vector<std::string> checks;
  const auto written = Written(ConfigureAndClose([&](TOKBottomDlg1& d) {
    d.Edit2->clear();                 // no statement for the login time-out
    d.Edit4->setText("100");          // out of the server's range: rejected by the server
    for (const char* typed : {"20; KILL 52", "99999999999"}) {
      d.Edit3->setText(typed);
      d.setResult(QDialog::Rejected);
      d.SaveButton->click();
      EXPECT_EQ(d.result(), QDialog::Rejected) << "the dialog stays open";
      EXPECT_EQ(d.Edit3->text(), typed) << "with the text as typed";
      checks.push_back(Dialogs.Messages.back().Text);
    }
    d.Edit3->setText("600");
    d.SaveButton->click();
    return d.result();
  }));
  EXPECT_EQ(checks, (std::vector<std::string>{
                        "Wartość pola \"Query timeout:\" nie jest liczbą całkowitą.",
                        "Wartość pola \"Query timeout:\" jest poza zakresem: parametr serwera przyjmuje liczby od "
                        "-2147483648 do 2147483647."}));
  for (const auto& s : written) {
    EXPECT_EQ(s.find("remote login timeout"), std::string::npos) << s;
    EXPECT_EQ(s.find("KILL"), std::string::npos) << s;
  }
  EXPECT_NE(std::find(written.begin(), written.end(), "sp_configure 'network packet size (B)',100"), written.end());
  EXPECT_EQ(written.back(), "RECONFIGURE WITH OVERRIDE") << "the rest is still sent";
  ASSERT_EQ(Dialogs.Messages.size(), 4u);
  EXPECT_EQ(Dialogs.Messages[2].Caption, "Błąd");  // the server's refusal of the packet size
  EXPECT_EQ(Dialogs.Messages[3].Text,
            "Nie zapisano: Rozmiar pakietu sieciowego. Pozostałe parametry serwera zostały zapisane.\n"
            "Powody pokazał raport błędów SQL.");
  for (const char* good : {"0", "20", "-1", "2147483647"}) EXPECT_TRUE(admin::IsWholeNumber(good)) << good;
  for (const char* bad : {"", " 20", "20 ", "1e3", "2147483648", "0x10", "+5"})
    EXPECT_FALSE(admin::IsWholeNumber(bad)) << bad;
}

// A login without sysadmin rights is told once when the dialog opens and cannot save; it sees
// no refusal of the server and no "zakończona".
TEST_F(ServerConfigTest, ALoginWithoutSysadminIsToldOnceAndCannotSave) {
  ConnectAs("kasa1", "kasa1");
  Dialogs.Messages.clear();
  bool saveable = true;
  const auto sent = ConfigureAndClose([&](TOKBottomDlg1& d) {
    saveable = d.SaveButton->isEnabled();
    EXPECT_EQ(d.Edit2->text(), "20") << "what the login may read is shown";
    return int(QDialog::Rejected);
  });
  EXPECT_FALSE(saveable);
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text,
            "Login \"kasa1\" nie należy do roli sysadmin, więc nie może zmieniać konfiguracji serwera. Parametry "
            "zostaną tylko pokazane.");
  for (const auto& s : sent) {
    EXPECT_EQ(s.find("RECONFIGURE"), std::string::npos) << s;
    EXPECT_EQ(s.find("',"), std::string::npos) << s;
  }
}

// What the server hides from a login without rights (the advanced options) is shown as not
// read, never as the controls' own starting values.
TEST_F(ServerConfigTest, SettingsHiddenFromTheLoginShowAsUnavailable) {
  ConnectAs("kasa1", "kasa1");
  ConfigureAndClose([](TOKBottomDlg1& d) {
    EXPECT_EQ(d.Edit3->text(), "600") << "a basic option is read";
    for (const QLineEdit* edit : {d.Edit1, d.Edit4}) {
      EXPECT_EQ(edit->text(), "");
      EXPECT_EQ(edit->placeholderText(), "niedostępne");
    }
    for (const QLabel* stat : {d.StatMin, d.StatMax, d.StatFixed}) EXPECT_EQ(stat->text(), "niedostępne");
    EXPECT_FALSE(d.RadioButton1->isChecked()) << "the memory mode is not known";
    EXPECT_FALSE(d.RadioButton2->isChecked());
    EXPECT_NE(d.CheckBox1->checkState(), Qt::PartiallyChecked);
    EXPECT_FALSE(d.CheckBox1->isEnabled());
    const auto* state = d.findChild<QLabel*>("WorkingSetState");
    EXPECT_EQ(state ? state->text() : QString("<none>"), "niedostępne");
    return int(QDialog::Rejected);
  });
}

// A sysadmin after such a login reads every value again into the same dialog.
TEST_F(ServerConfigTest, ASysadminAfterwardsSeesTheValuesAgain) {
  ConnectAs("kasa1", "kasa1");
  ConfigureAndClose([](TOKBottomDlg1&) { return int(QDialog::Rejected); });
  AnswerLoginAs("sa", "");
  Form->ChooseServer();  // the same dialog, now read by a sysadmin
  SetServerMemory(0, 2147483647);
  const auto sent = Configure([](TOKBottomDlg1& d) {
    EXPECT_TRUE(d.RadioButton1->isChecked());
    EXPECT_EQ(d.StatMin->text(), "0");
    EXPECT_EQ(d.StatMax->text(), "1024");
    const auto* state = d.findChild<QLabel*>("WorkingSetState");
    EXPECT_TRUE(state && state->text().isEmpty());
    EXPECT_TRUE(d.Edit4->placeholderText().isEmpty());
  });
  EXPECT_EQ(Written(sent).size(), 10u) << "every setting is written back";
}

TEST_F(ServerConfigTest, RunningValuesDifferWhereAChangeAwaitsARestart) {
  Connect();
  {
    // Reserving the working set takes effect only after a restart: saved 1, running 0.
    msde::testkit::OdbcClient admin(Sim->ConnectionString("sa", ""));
    admin.Exec("sp_configure 'show advanced options', 1");
    admin.Exec("RECONFIGURE WITH OVERRIDE");
    admin.Exec("sp_configure 'set working set size',1");
    admin.Exec("sp_configure 'remote query timeout (s)',900");
    admin.Exec("RECONFIGURE WITH OVERRIDE");
  }
  const auto sent = Configure([](TOKBottomDlg1& d) {
    EXPECT_TRUE(d.RadioButton3->isChecked());
    EXPECT_TRUE(d.CheckBox1->isChecked()) << "saved";
    d.RadioButton4->click();
    EXPECT_FALSE(d.CheckBox1->isChecked()) << "running";
    EXPECT_EQ(d.Edit3->text(), "900") << "a dynamic change runs at once";
    d.RadioButton3->click();
    EXPECT_TRUE(d.CheckBox1->isChecked());
    d.RadioButton4->click();
  });
  // Confirming the running values writes them as the new saved ones.
  const auto written = Written(sent);
  EXPECT_NE(std::find(written.begin(), written.end(), "sp_configure 'set working set size',0"), written.end());
  msde::testkit::OdbcClient check(Sim->ConnectionString("sa", ""));
  const auto rows = check.Exec("sp_configure 'set working set size'").Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].at(3).value_or("NULL"), "0") << "saved as the server keeps it";
}

// A server reached by address is not this machine: its own memory sets the bars.
TEST_F(ServerConfigTest, AServerElsewhereGivesTheBarsItsOwnMemory) {
  ConnectByAddress();
  const auto sent = Configure([](TOKBottomDlg1& d) {
    for (const QSlider* bar : {d.TrackBar1, d.TrackBar2, d.TrackBar3})
      EXPECT_EQ(bar->maximum(), 512) << "the simulated server's 512 MB, not this machine's 1024";
    EXPECT_EQ(d.TrackBar2->value(), 512) << "no limit shows at the right end";
  });
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "xp_msver 'PhysicalMemory'"), 1);
  EXPECT_EQ(Written(sent)[8], "sp_configure 'max server memory (MB)',2147483647");
}

TEST_F(ServerConfigTest, ALocalServerKeepsThisMachinesMemory) {
  Connect();
  const auto sent = Configure([](TOKBottomDlg1& d) { EXPECT_EQ(d.TrackBar3->maximum(), 1024); });
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "xp_msver 'PhysicalMemory'"), 0);
}

}  // namespace
}  // namespace vandrel::app::testing
