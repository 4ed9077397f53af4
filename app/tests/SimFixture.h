#pragma once
// A main window against msde-sim with the demo data set, through unixODBC and FreeTDS.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/MainWindow.h"
#include "app/OdbcLogonDialog.h"
#include "app/PasswordDlg.h"
#include "app/tests/ScriptedDialogs.h"
#include "testkit/SimServer.h"

namespace vandrel::app::testing {

// The demo server's system administrator has no password, as MSDE 2000 installs often had.
inline const char* const kSaPassword = "";

// A copy of the demo data set (or DataSet, another of the simulator's) written to Directory
// with Settings (members of a JSON object, such as "\"backup_page_microseconds\": 20000") added
// to its server: the copy's path.
inline std::string DemoWithServerSettings(const std::string& Directory, const std::string& Settings,
                                          const std::string& DataSet = "demo.json") {
  std::ifstream in(std::string(MSDE_DATA_DIR) + "/" + DataSet);
  std::stringstream text;
  text << in.rdbuf();
  std::string data = text.str();
  const std::string server = "\"server\": {";
  const size_t at = data.find(server);
  if (at != std::string::npos) data.insert(at + server.size(), Settings + ", ");
  const std::string path = Directory + "/data.json";
  std::ofstream(path) << data;
  return path;
}

class SimWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TestApplication(); }

  // The server a test runs against; the demo data set unless a test wants another.
  virtual msde::testkit::SimServerOptions ServerOptions() const { return {}; }

  void SetUp() override {
    Sim = std::make_unique<msde::testkit::SimServer>(ServerOptions());
    // "(local)" reaches the simulator's port: FreeTDS takes a host's default port from TDSPORT.
    setenv("TDSPORT", std::to_string(Sim->Port()).c_str(), 1);
    Form = std::make_unique<TForm1>();
  }
  void TearDown() override {
    Form.reset();
    Sim.reset();
    unsetenv("TDSPORT");
  }

  // The connection dialog answered with OK and the given password.
  void AnswerLogin(const char* Password = kSaPassword) {
    Dialogs.DialogAnswers.push_back([Password](QDialog* d) {
      static_cast<TPasswordDlg*>(d)->Edit3->setText(QString::fromUtf8(Password));
      return int(QDialog::Accepted);
    });
  }
  // The connection dialog answered with OK, a login and its password.
  void AnswerLoginAs(const char* User, const char* Password) {
    Dialogs.DialogAnswers.push_back([User, Password](QDialog* d) {
      static_cast<TPasswordDlg*>(d)->Edit2->setText(QString::fromUtf8(User));
      static_cast<TPasswordDlg*>(d)->Edit3->setText(QString::fromUtf8(Password));
      return int(QDialog::Accepted);
    });
  }
  // The driver manager's logon answered with a data source of the test's configuration.
  void AnswerDataSource(const QString& DataSource) {
    Dialogs.DialogAnswers.push_back([DataSource](QDialog* d) {
      auto* logon = static_cast<TOdbcLogonDialog*>(d);
      const auto found = logon->Sources->findItems(DataSource, Qt::MatchExactly);
      if (found.isEmpty()) return int(QDialog::Rejected);
      logon->Sources->setCurrentItem(found.first());
      logon->User->setText("sa");
      logon->Password->setText(kSaPassword);
      return int(QDialog::Accepted);
    });
  }
  void Connect() {
    AnswerLogin();
    Form->FormShow();
  }
  // Connects with the server named by its address and port, as a server on another machine is
  // named; no message of the connection is kept.
  void ConnectByAddress() {
    const std::string address = "127.0.0.1," + std::to_string(Sim->Port());
    Dialogs.DialogAnswers.push_back([address](QDialog* d) {
      static_cast<TPasswordDlg*>(d)->Edit1->setText(QString::fromStdString(address));
      return int(QDialog::Accepted);
    });
    Form->FormShow();
    Dialogs.Messages.clear();
  }

  QTreeWidgetItem* Node(const QString& Text) const {
    const auto found = Form->TreeView1->findItems(Text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
  }
  QTreeWidgetItem* NodeUnder(QTreeWidgetItem* Parent, const QString& Text) const {
    for (int i = 0; Parent && i < Parent->childCount(); ++i)
      if (Parent->child(i)->text(0) == Text) return Parent->child(i);
    return nullptr;
  }
  void Select(QTreeWidgetItem* Node) { Form->TreeView1->setCurrentItem(Node); }

  QStringList Children(QTreeWidgetItem* Parent) const {
    QStringList texts;
    for (int i = 0; Parent && i < Parent->childCount(); ++i) texts << Parent->child(i)->text(0);
    return texts;
  }
  // The detail list as the user reads it: captions, one column's texts in the order shown,
  // the value beside a caption.
  QStringList Headers() const {
    QStringList h;
    for (int i = 0; i < Form->ListView1->ColumnCount(); ++i) h << Form->ListView1->Caption(i);
    return h;
  }
  QStringList ListColumn(int Column) const {
    QStringList texts;
    for (int i = 0; i < Form->ListView1->RowCount(); ++i) texts << Form->ListView1->Text(i, Column);
    return texts;
  }
  // The value of the detail row whose caption is Caption.
  QString DetailValue(const QString& Caption) const {
    for (int i = 0; i < Form->ListView1->RowCount(); ++i)
      if (Form->ListView1->Text(i, 0) == Caption) return Form->ListView1->Text(i, 1);
    return QStringLiteral("<none>");
  }

  ScriptedDialogs Dialogs;
  std::unique_ptr<msde::testkit::SimServer> Sim;
  std::unique_ptr<TForm1> Form;
};

}  // namespace vandrel::app::testing
