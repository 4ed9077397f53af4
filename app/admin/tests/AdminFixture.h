#pragma once
// The main window against msde-sim with a chosen data set, for the database commands: the
// commands are triggered from the menus as a user would, other programs hold databases on
// connections of their own, and what the tool sent is read from the server's trace.
#include <gmock/gmock.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/admin/InUseDlg.h"
#include "app/tests/SimFixture.h"
#include "testkit/OdbcClient.h"
#include "testkit/TestProxy.h"

namespace vandrel::app::testing {

// The matchers the command tests state what the tool sent and said with.
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

inline std::string DataSet(const char* File) { return std::string(MSDE_DATA_DIR) + "/" + File; }

// A connection of another program, sitting in Database.
inline std::unique_ptr<msde::testkit::OdbcClient> HolderOf(msde::testkit::SimServer& Sim, const std::string& Database,
                                                          const std::string& Program) {
  auto c = std::make_unique<msde::testkit::OdbcClient>(Sim.Utf8ConnectionString("sa", "") +
                                                      (Program.empty() ? "" : "APP=" + Program + ";"));
  EXPECT_TRUE(c->Exec("use [" + Database + "]").ok);
  return c;
}

// Answers the in-use refusal: records its message and listed programs, then presses OK or
// "Rozłącz użytkowników i ponów".
struct Refusal {
  std::string Text, Caption;
  std::vector<std::string> Programs;
};
inline void AnswerRefusalOf(ScriptedDialogs& Dialogs, std::vector<Refusal>& Seen, bool Disconnect) {
  Dialogs.DialogAnswers.push_back([&Seen, Disconnect](QDialog* d) {
    auto* dlg = dynamic_cast<admin::TInUseDlg*>(d);
    if (!dlg) return int(QDialog::Rejected);
    Refusal r{dlg->Label1->text().toStdString(), dlg->windowTitle().toStdString(), {}};
    for (int i = 0; i < dlg->ProcessList->topLevelItemCount(); ++i)
      r.Programs.push_back(dlg->ProcessList->topLevelItem(i)->text(2).toStdString());
    Seen.push_back(r);
    return int(Disconnect ? QDialog::Accepted : QDialog::Rejected);
  });
}

// Runs Action just before Form sends each statement that begins with Prefix.
inline void BeforeStatementOf(TForm1& Form, const std::string& Prefix, std::function<void()> Action) {
  auto original = Form.MOdbcLink1->OnQuery;
  Form.MOdbcLink1->OnQuery = [original, Prefix, Action](vandrel::TMCustomDBLink* Link, vandrel::AnsiString& Text,
                                                        vandrel::TMParams* Params, vandrel::TMQueryContext Context,
                                                        const vandrel::Exception* E) {
    if (Context == vandrel::mqcExecBefore && Text.rfind(Prefix, 0) == 0) Action();
    original(Link, Text, Params, Context, E);
  };
}

class AdminWindowTest : public SimWindowTest {
 protected:
  // The data set this test's server starts with.
  virtual std::string DataFile() const { return DataSet("demo.json"); }
  // Runs once the server is up, before the window connects (a test may put a relay between).
  virtual void BeforeConnect() {}

  void SetUp() override {
    msde::testkit::SimServerOptions options;
    options.data_file = DataFile();
    options.private_files = true;  // a detach writes its files into the copy, never the sources
    Sim = std::make_unique<msde::testkit::SimServer>(options);
    setenv("TDSPORT", std::to_string(Sim->Port()).c_str(), 1);
    BeforeConnect();
    Form = std::make_unique<TForm1>();
    Connect();
    Dialogs.Messages.clear();
  }

  std::unique_ptr<msde::testkit::OdbcClient> Holder(const std::string& Database, const std::string& Program) {
    return HolderOf(*Sim, Database, Program);
  }
  // A database property as another connection sees it.
  std::string Property(const std::string& Database, const std::string& Name) {
    msde::testkit::OdbcClient c(Sim->Utf8ConnectionString("sa", ""));
    return c.Scalar("select CAST(DATABASEPROPERTYEX(N'" + Escaped(Database) + "', '" + Name +
                    "') AS nvarchar(128))");
  }
  static std::string Escaped(std::string Text) {
    for (size_t at = Text.find('\''); at != std::string::npos; at = Text.find('\'', at + 2)) Text.insert(at, 1, '\'');
    return Text;
  }

  // The tool's statements after Mark, as "database: text".
  std::vector<std::string> SentSince(size_t Mark) const {
    std::vector<std::string> sent;
    for (const auto& line : Sim->TraceSince(Mark))
      if (line.Application == "Vandrel") sent.push_back(line.Database + ": " + line.Text);
    return sent;
  }
  // The tool's statements after Mark that begin with Prefix, text only.
  std::vector<std::string> SentStarting(size_t Mark, const std::string& Prefix) const {
    std::vector<std::string> sent;
    for (const auto& line : Sim->TraceSince(Mark))
      if (line.Application == "Vandrel" && line.Text.rfind(Prefix, 0) == 0) sent.push_back(line.Text);
    return sent;
  }

  void Run(TCommandId Command) {
    const QList<QAction*> actions = Form->Commands(Command);
    ASSERT_FALSE(actions.isEmpty()) << CommandCaption(Command);
    actions.first()->trigger();
  }
  // Selects a database node by its name (with or without a state suffix).
  QTreeWidgetItem* SelectDatabase(const std::string& Text) {
    QTreeWidgetItem* node = Node(QString::fromStdString(Text));
    EXPECT_NE(node, nullptr) << Text;
    if (node) Select(node);
    return node;
  }

  void AnswerRefusal(std::vector<Refusal>& Seen, bool Disconnect) { AnswerRefusalOf(Dialogs, Seen, Disconnect); }

  // Runs Action just before the tool sends each statement that begins with Prefix, as if
  // something happened on the server at that moment.
  void BeforeStatement(const std::string& Prefix, std::function<void()> Action) {
    BeforeStatementOf(*Form, Prefix, std::move(Action));
  }

  std::string LastText() const { return Dialogs.Messages.empty() ? "<none>" : Dialogs.Messages.back().Text; }
  std::string LastCaption() const { return Dialogs.Messages.empty() ? "<none>" : Dialogs.Messages.back().Caption; }
  std::string LastSummary() const { return Dialogs.Messages.empty() ? "<none>" : Dialogs.Messages.back().Summary; }
};

// The window talks to the server through a relay that can hold a statement or cut the line.
class RelayedAdminWindowTest : public AdminWindowTest {
 protected:
  void BeforeConnect() override {
    Proxy = std::make_unique<msde::testkit::TestProxy>(Sim->Port());
    setenv("TDSPORT", std::to_string(Proxy->Port()).c_str(), 1);
  }
  void TearDown() override {
    Form.reset();
    Proxy.reset();
    AdminWindowTest::TearDown();
  }
  std::unique_ptr<msde::testkit::TestProxy> Proxy;
};

}  // namespace vandrel::app::testing
