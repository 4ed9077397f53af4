// The tool's data source manager against msde-sim: a "SQL Server" data source added, tested,
// edited and deleted as a user does it, with what unixODBC itself then lists (odbcinst -q -s,
// run as a program of its own) and what FreeTDS reads. The test has its own registry, ODBC
// files, freetds.conf files and HOME.
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <filesystem>
#include <tuple>

#include "app/admin/OdbcAdminDlg.h"
#include "app/clientsetup/tests/ClientSetupFixture.h"

namespace vandrel::app::testing {
namespace {

using admin::TOdbcAdminDlg;
using admin::TOdbcSourceDlg;

class OdbcAdminTest : public ClientSetupTest {
 protected:
  void SetUp() override {
    ClientSetupTest::SetUp();
    SetEnv("HOME", Tmp->Path() + "/home");
    std::filesystem::create_directories(Tmp->Path() + "/home");
    SetEnv("VANDREL_SYSTEM_DIR", Tmp->Path() + "/system");  // no Windows ODBC administrator
    Port = std::to_string(Sim->Port());
  }

  // What unixODBC lists as data sources, to a program of its own.
  static std::string OdbcinstSources() {
    std::string out;
    if (FILE* pipe = popen("odbcinst -q -s 2>&1", "r")) {
      char buffer[4096];
      while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
      pclose(pipe);
    }
    return out;
  }
  static bool Lists(const std::string& Sources, const std::string& Name) {
    return Sources.find("[" + Name + "]\n") != std::string::npos;
  }
  // The manager's rows as "name/kind/server/database".
  static std::vector<std::string> Rows(TOdbcAdminDlg& D) {
    std::vector<std::string> rows;
    for (int i = 0; i < D.Sources->topLevelItemCount(); ++i) {
      const QTreeWidgetItem* item = D.Sources->topLevelItem(i);
      rows.push_back((item->text(0) + "/" + item->text(1) + "/" + item->text(3) + "/" + item->text(4)).toStdString());
    }
    return rows;
  }
  static void Choose(TOdbcAdminDlg& D, const QString& Name) {
    const auto found = D.Sources->findItems(Name, Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty()) << Name.toStdString();
    D.Sources->setCurrentItem(found.first());
  }
  // The source dialog's next answer: Fill, then "OK" as the user clicks it.
  void AnswerSource(std::function<void(TOdbcSourceDlg&)> Fill) {
    Dialogs.DialogAnswers.push_back(Click("OkButton", [Fill](QDialog* d) { Fill(*static_cast<TOdbcSourceDlg*>(d)); }));
  }
  // Opens the manager from its menu; Use drives it while it is open.
  void Manage(std::function<void(TOdbcAdminDlg&)> Use) {
    Dialogs.DialogAnswers.push_back([Use](QDialog* d) {
      auto* manager = dynamic_cast<TOdbcAdminDlg*>(d);
      if (manager) Use(*manager);
      return int(QDialog::Accepted);
    });
    Form->Commands(TCommandId::cmOdbcSources).first()->trigger();
  }
  // "Testuj" as FreeTDS is on a machine without TDSPORT, which would override the port.
  static void TestWithoutTdsPort(TOdbcAdminDlg& D) {
    const std::string tdsport = getenv("TDSPORT");
    unsetenv("TDSPORT");
    D.TestButton->click();
    setenv("TDSPORT", tdsport.c_str(), 1);
  }
  std::string LastText() const { return Dialogs.Messages.empty() ? "<none>" : Dialogs.Messages.back().Text; }

  std::string Port;
};

TEST_F(OdbcAdminTest, AddTestEditAndDeleteAUserDataSource) {
  Manage([&](TOdbcAdminDlg& d) {
    EXPECT_EQ(Rows(d), (std::vector<std::string>{"msde-sim/systemowe/127.0.0.1," + Port + "/"})) << "the test's own system file";
    EXPECT_FALSE(d.TestButton->isEnabled()) << "nothing selected";

    AnswerSource([&](TOdbcSourceDlg& s) {
      s.NameEdit->setText("Kasa");
      s.ServerEdit->setText("127.0.0.1");
      s.PortEdit->setText(QString::fromStdString(Port));
      s.DatabaseEdit->setText("Sklep");
    });
    d.AddButton->click();
    EXPECT_EQ(Rows(d), (std::vector<std::string>{"Kasa/użytkownika/127.0.0.1," + Port + "/Sklep",
                                                  "msde-sim/systemowe/127.0.0.1," + Port + "/"}));
    EXPECT_TRUE(d.TestButton->isEnabled()) << "the new data source is selected";

    // FreeTDS reaches it on its own port.
    TestWithoutTdsPort(d);
    EXPECT_EQ(LastText(), "Połączenie ze źródłem danych \"Kasa\" udane.\nSerwer: SKLEP-SERWER\nBaza danych: Sklep");
    EXPECT_EQ(Dialogs.Messages.back().Icon, MsgIcon::Information);
  });
  EXPECT_TRUE(Lists(OdbcinstSources(), "Kasa")) << OdbcinstSources();
  const std::string ini = ReadFile(UserOdbcIni());
  EXPECT_NE(ini.find("Servername=127.0.0.1," + Port), std::string::npos) << ini;
  EXPECT_NE(ini.find("TDS_Version=7.1"), std::string::npos) << ini;
  EXPECT_NE(ini.find("ClientCharset=UTF-8"), std::string::npos) << ini;
  const std::string conf = ReadFile(UserFreeTds());
  EXPECT_NE(conf.find("[127.0.0.1," + Port + "]\n\thost = 127.0.0.1\n\tport = " + Port + "\n"), std::string::npos)
      << conf;
  EXPECT_NE(IsqlDatabase("Kasa", "sa", "", "env -u TDSPORT").find("| Sklep"), std::string::npos)
      << "plain isql uses it too";

  Manage([&](TOdbcAdminDlg& d) {
    Choose(d, "Kasa");
    AnswerSource([&](TOdbcSourceDlg& s) {
      EXPECT_FALSE(s.NameEdit->isEnabled());
      EXPECT_EQ(s.PortEdit->text().toStdString(), Port) << "the port is shown apart from the server";
      EXPECT_EQ(s.CharsetBox->currentText(), "UTF-8");
      s.DatabaseEdit->setText("Sklep Wschód");
    });
    d.EditButton->click();
    d.TestButton->click();
    EXPECT_EQ(LastText(),
              "Połączenie ze źródłem danych \"Kasa\" udane.\nSerwer: SKLEP-SERWER\nBaza danych: Sklep Wschód");

    // A port where nothing listens: the test says what the driver said.
    Choose(d, "Kasa");
    AnswerSource([](TOdbcSourceDlg& s) { s.PortEdit->setText("1"); });
    d.EditButton->click();
    TestWithoutTdsPort(d);
    EXPECT_EQ(LastText().rfind("Nie udało się połączyć ze źródłem danych \"Kasa\":\n", 0), 0u) << LastText();
    EXPECT_EQ(Dialogs.Messages.back().Icon, MsgIcon::Error);
    EXPECT_NE(LastText().find("08001: "), std::string::npos) << "the driver's own words, with their state";

    Choose(d, "Kasa");
    Dialogs.MessageAnswers.push_back(mbNo);
    d.DeleteButton->click();
    EXPECT_EQ(Rows(d).size(), 2u) << "No keeps it";
    Dialogs.MessageAnswers.push_back(mbYes);
    d.DeleteButton->click();
    EXPECT_EQ(Rows(d), (std::vector<std::string>{"msde-sim/systemowe/127.0.0.1," + Port + "/"}));
  });
  const std::string after = OdbcinstSources();
  EXPECT_FALSE(Lists(after, "Kasa")) << after;
  EXPECT_TRUE(Lists(after, "msde-sim"));
  EXPECT_EQ(Value(platform::HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources", "Kasa"), "<none>");
}

TEST_F(OdbcAdminTest, SystemDataSourcesAndRefusedFields) {
  Manage([&](TOdbcAdminDlg& d) {
    // Fields that cannot be written are named and nothing is written.
    for (const auto& [port, server, name, said] : std::vector<std::tuple<QString, QString, QString, std::string>>{
             {"70000", "127.0.0.1", "Zle", "Port musi być liczbą od 1 do 65535."},
             {"", "127.0.0.1,1433", "Zle", "Podaj serwer: nazwę komputera lub adres (port w polu \"Port:\")."},
             {"", "KASA1", "[Zle]", "Nazwa źródła danych nie może być pusta ani zawierać nawiasów kwadratowych."}}) {
      AnswerSource([&](TOdbcSourceDlg& s) {
        s.NameEdit->setText(name);
        s.ServerEdit->setText(server);
        s.PortEdit->setText(port);
      });
      d.AddButton->click();
      EXPECT_EQ(LastText(), said);
    }
    EXPECT_EQ(Rows(d).size(), 1u);

    AnswerSource([&](TOdbcSourceDlg& s) {
      s.NameEdit->setText("Centrala");
      s.SystemButton->setChecked(true);
      s.ServerEdit->setText("127.0.0.1");
      s.PortEdit->setText(QString::fromStdString(Port));
      s.TdsVersionBox->setEditText("7.2");
      s.CharsetBox->setEditText("CP1250");
    });
    d.AddButton->click();
    EXPECT_EQ(Rows(d), (std::vector<std::string>{"msde-sim/systemowe/127.0.0.1," + Port + "/",
                                                  "Centrala/systemowe/127.0.0.1," + Port + "/"}))
        << "in the file's order";
    // A second one of the same name and kind is refused before anything is written.
    AnswerSource([&](TOdbcSourceDlg& s) {
      s.NameEdit->setText("Centrala");
      s.SystemButton->setChecked(true);
      s.ServerEdit->setText("KASA9");
    });
    d.AddButton->click();
    EXPECT_EQ(LastText(), "Źródło danych \"Centrala\" już istnieje.");
    Choose(d, "Centrala");
    d.TestButton->click();
    EXPECT_EQ(LastText(), "Połączenie ze źródłem danych \"Centrala\" udane.\nSerwer: SKLEP-SERWER\nBaza danych: master");
  });
  const std::string system = ReadFile(SystemOdbcIni());
  EXPECT_NE(system.find("TDS_Version=7.2"), std::string::npos) << system;
  EXPECT_NE(system.find("ClientCharset=CP1250"), std::string::npos) << system;
  EXPECT_NE(ReadFile(SystemFreeTds()).find("[127.0.0.1," + Port + "]"), std::string::npos);
  EXPECT_TRUE(Lists(OdbcinstSources(), "Centrala"));
  EXPECT_EQ(ReadFile(UserOdbcIni()).find("Centrala"), std::string::npos) << "nothing in the user's file";

  Manage([&](TOdbcAdminDlg& d) {
    Choose(d, "Centrala");
    Dialogs.MessageAnswers.push_back(mbYes);
    d.DeleteButton->click();
  });
  EXPECT_FALSE(Lists(OdbcinstSources(), "Centrala"));
}

}  // namespace
}  // namespace vandrel::app::testing

namespace vandrel::app::testing {
namespace {

// Another driver's data source is shown with its own keys and never rewritten; the list is the
// files' as they are right after every change, whoever made it; "Usuń" takes the freetds.conf
// section made for the data source with the last data source that names it.
TEST_F(OdbcAdminTest, OtherDriversSourcesAreOnlyShownAndDeleteTakesTheSectionMadeForTheSource) {
  const std::string pg = "[ODBC Data Sources]\nKasa PG=PostgreSQL Unicode\n\n[Kasa PG]\n"
                         "Driver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so\nServername=pg.local\nPort=5432\n"
                         "Database=kasa\n";
  std::ofstream(UserOdbcIni()) << pg;
  std::ofstream(UserFreeTds()) << "[Inny]\n\thost = inny\n";
  auto addKasa = [&](TOdbcAdminDlg& d, const char* name) {
    AnswerSource([&, name](TOdbcSourceDlg& s) {
      s.NameEdit->setText(name);
      s.ServerEdit->setText("127.0.0.1");
      s.PortEdit->setText(QString::fromStdString(Port));
    });
    d.AddButton->click();
  };
  Manage([&](TOdbcAdminDlg& d) {
    EXPECT_EQ(Rows(d).front(), "Kasa PG/użytkownika//kasa");
    EXPECT_EQ(d.Sources->topLevelItem(0)->text(2), "PostgreSQL Unicode");
    Choose(d, "Kasa PG");
    std::vector<std::string> keys;
    Dialogs.DialogAnswers.push_back([&keys](QDialog* v) {
      auto* tree = v->findChild<QTreeWidget*>("Keys");
      for (int i = 0; tree && i < tree->topLevelItemCount(); ++i)
        keys.push_back((tree->topLevelItem(i)->text(0) + "=" + tree->topLevelItem(i)->text(1)).toStdString());
      return int(QDialog::Rejected);
    });
    d.EditButton->click();
    EXPECT_EQ(Dialogs.DialogsRun.back(), "OdbcSourceView");
    EXPECT_EQ(keys, (std::vector<std::string>{"Driver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so",
                                              "Servername=pg.local", "Port=5432", "Database=kasa"}));

    addKasa(d, "Kasa");
    // Another program adds a data source; the next save's list shows it.
    std::ofstream(UserOdbcIni(), std::ios::app) << "\n[Obca]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so\n";
    addKasa(d, "Kasa2");
    EXPECT_EQ(Rows(d), (std::vector<std::string>{"Kasa PG/użytkownika//kasa", "Kasa/użytkownika/127.0.0.1," + Port + "/",
                                                  "Obca/użytkownika//", "Kasa2/użytkownika/127.0.0.1," + Port + "/",
                                                  "msde-sim/systemowe/127.0.0.1," + Port + "/"}));
    const std::string section = "[127.0.0.1," + Port + "]";
    for (const char* name : {"Kasa", "Kasa2"}) {
      Choose(d, name);
      Dialogs.MessageAnswers.push_back(mbYes);
      d.DeleteButton->click();
      EXPECT_EQ(ReadFile(UserFreeTds()).find(section) != std::string::npos, std::string(name) == "Kasa") << name;
    }
  });
  EXPECT_EQ(ReadFile(UserFreeTds()), "[Inny]\n\thost = inny\n") << "an administrator's section stays";
  EXPECT_NE(ReadFile(UserOdbcIni()).find(pg.substr(pg.find("[Kasa PG]"))), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(SystemFreeTds()));
}

}  // namespace
}  // namespace vandrel::app::testing
