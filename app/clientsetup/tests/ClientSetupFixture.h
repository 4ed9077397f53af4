#pragma once
// A main window against msde-sim with a private registry, private user and system ODBC data
// source files, private freetds.conf files for both roots and a private Wine prefix, and the
// ways to look at what the tool wrote: registry values, ini text, and plain isql connecting.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

#include "app/clientsetup/PasswordDlg2.h"
#include "app/tests/Isql.h"
#include "app/tests/SimFixture.h"
#include "platform/Registry.h"
#include "testkit/OdbcClient.h"
#include "testkit/TempDir.h"

namespace vandrel::app::testing {

class ClientSetupTest : public SimWindowTest {
 protected:
  void SetUp() override {
    SimWindowTest::SetUp();
    Tmp = std::make_unique<msde::testkit::TempDir>("vandrel-client");
    SetEnv("VANDREL_REGISTRY_DIR", Tmp->Path() + "/registry");
    SetEnv("ODBCINI", Tmp->Path() + "/user-odbc.ini");
    SetEnv("FREETDSCONF", Tmp->Path() + "/user-freetds.conf");
    SetEnv("FREETDS", Tmp->Path() + "/freetds");
    SetEnv("WINEPREFIX", Tmp->Path() + "/wine");
  }
  void TearDown() override {
    for (const auto& [name, value] : Saved) value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    Saved.clear();
    SimWindowTest::TearDown();
    Tmp.reset();
  }

  void SetEnv(const std::string& Name, const std::string& Value) {
    if (!Saved.count(Name)) {
      const char* old = getenv(Name.c_str());
      Saved[Name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    setenv(Name.c_str(), Value.c_str(), 1);
  }

  std::string UserOdbcIni() const { return Tmp->Path() + "/user-odbc.ini"; }
  std::string SystemOdbcIni() const { return std::string(getenv("ODBCSYSINI")) + "/odbc.ini"; }
  std::string UserFreeTds() const { return Tmp->Path() + "/user-freetds.conf"; }
  std::string SystemFreeTds() const { return Tmp->Path() + "/freetds/etc/freetds.conf"; }

  static std::string ReadFile(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // Every value of a registry key, in the order the key holds them; "<no key>" when absent.
  static std::vector<std::string> Values(platform::HKEY Root, const std::string& Key) {
    platform::TRegistry reg(Root);
    if (!reg.OpenKeyReadOnly(Key)) return {"<no key>"};
    std::vector<std::string> names, values;
    reg.GetValueNames(names);
    for (const auto& n : names) values.push_back(n + "=" + reg.ReadString(n));
    return values;
  }
  static std::string Value(platform::HKEY Root, const std::string& Key, const std::string& Name) {
    platform::TRegistry reg(Root);
    if (!reg.OpenKeyReadOnly(Key) || !reg.ValueExists(Name)) return "<none>";
    return reg.ReadString(Name);
  }

  // A dialog answer: fill the fields, then click the named button as the user does; the
  // dialog's own close rule decides the result.
  static std::function<int(QDialog*)> Click(const char* Button, std::function<void(QDialog*)> Fill = {}) {
    return [Button, Fill](QDialog* d) {
      if (Fill) Fill(d);
      d->setResult(QDialog::Rejected);
      d->findChild<QAbstractButton*>(Button)->click();
      return d->result();
    };
  }

  // Runs "Utwórz połączenie sieciowe Tovinex" from the tree's pop-up menu with the database
  // node Database selected, answering its dialog with the server, library and archive flag given.
  void Run(const std::string& Database, const QString& Server, const QString& Library = "Gniazda TCP/IP",
           bool Archive = false) {
    if (!Database.empty()) Select(Node(QString::fromStdString(Database)));
    Dialogs.DialogAnswers.push_back(Click("OKBtn", [=](QDialog* d) {
      auto* dlg = static_cast<clientsetup::TPasswordDlg2*>(d);
      dlg->ComboBox2->setEditText(Server);
      dlg->ComboBox1->setEditText(Library);
      dlg->BlokadaCheck->setChecked(Archive);
    }));
    Trigger();
  }
  void Trigger() {
    for (QAction* a : Form->Commands(TCommandId::cmTovinexConnection))
      if (Form->PopupMenu1->actions().contains(a)) return a->trigger();
    FAIL() << "no command in the pop-up menu";
  }

  // A second connection's view: the first value of Sql, or the whole answer.
  std::string Scalar(const std::string& Sql) {
    msde::testkit::OdbcClient other(Sim->ConnectionString("sa", kSaPassword));
    return other.Scalar(Sql);
  }
  msde::testkit::ExecResult Exec(const std::string& Sql) {
    msde::testkit::OdbcClient other(Sim->ConnectionString("sa", kSaPassword));
    return other.Exec(Sql);
  }

  std::unique_ptr<msde::testkit::TempDir> Tmp;

 private:
  std::map<std::string, std::optional<std::string>> Saved;
};

}  // namespace vandrel::app::testing
