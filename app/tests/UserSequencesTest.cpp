// The main window driven as a user drives it: sequences of selections, failures in between,
// modals shown while a statement runs, connections made through data sources.
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <fstream>

#include "app/NodeKinds.h"
#include "app/tests/SimFixture.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;

namespace {

class UserSequences : public SimWindowTest {
 protected:
  // The shape of the pointer the user sees now (the arrow when nothing overrides it).
  static Qt::CursorShape Pointer() {
    const QCursor* c = QApplication::overrideCursor();
    return c ? c->shape() : Qt::ArrowCursor;
  }
  // The "ODBC" start-up answered with a data source of the test's configuration.
  void ConnectThroughDataSource(const QString& DataSource) {
    Form->Arguments = {"ODBC"};
    AnswerDataSource(DataSource);
    Form->FormShow();
  }
};

TEST_F(UserSequences, ModalsShowTheNormalPointerAndTheWaitCursorReturns) {
  Connect();
  std::vector<Qt::CursorShape> during;
  Dialogs.DuringModal = [&] { during.push_back(Pointer()); };
  // The error report comes up while the failed query's step still runs.
  TextList list;
  Form->QueryToList(list, "select * from BrakTabeli", "Sklep");
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(during, std::vector<Qt::CursorShape>{Qt::ArrowCursor});
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // nothing left over after the step

  // The logon asked for by a reconnect inside a statement's wait.
  during.clear();
  Form->ConnectionString.clear();
  Form->MOdbcLink1->SetConnected(false);
  EXPECT_FALSE(Form->EnsureConnected());  // the logon is cancelled
  EXPECT_EQ(Dialogs.DialogsRun.back(), "OdbcLogonDialog");
  EXPECT_EQ(during, std::vector<Qt::CursorShape>{Qt::ArrowCursor});
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(UserSequences, ADataSourceWithoutCharacterSetStillShowsPolishNames) {
  // A data source as an administrator may write it: no ClientCharset.
  {
    std::ofstream ini(Sim->Config().Directory() + "/odbc.ini", std::ios::app);
    ini << "[sklep-latin]\nDriver = SQL Server\nServer = 127.0.0.1\nPort = " << Sim->Port()
        << "\nTDS_Version = 7.1\n";
  }
  ConnectThroughDataSource("sklep-latin");
  ASSERT_FALSE(Form->Terminated);
  EXPECT_NE(Node(QStringLiteral("Sklep Wschód")), nullptr);
  Select(NodeUnder(Node(QStringLiteral("Sklep Wschód")), "Tabele"));
  EXPECT_TRUE(Dialogs.Messages.empty()) << Dialogs.Messages.front().Text;

  // The reconnect after a lost connection is built from the completed string of the data
  // source: Polish names still arrive whole.
  Sim->Stop();
  Sim->Restart();
  Form->FormKeyDown(Qt::Key_F5);
  EXPECT_NE(Node(QStringLiteral("Sklep Wschód")), nullptr);
  EXPECT_TRUE(Dialogs.Messages.empty()) << Dialogs.Messages.front().Text;
}

TEST_F(UserSequences, AUserWithSeveralRolesIsOneNodeAndARowPerRole) {
  Connect();
  QTreeWidgetItem* users = NodeUnder(Node("Sklep"), QStringLiteral("Użytkownicy"));
  Select(users);
  EXPECT_EQ(Children(users).count("kasa1"), 1);
  EXPECT_EQ(ListColumn(0).count("kasa1"), 2);  // db_datareader and db_datawriter
  // Selecting the folder again keeps one node per user.
  Select(Node("Sklep"));
  Select(users);
  EXPECT_EQ(Children(users).count("kasa1"), 1);
  EXPECT_EQ(Children(users).removeDuplicates(), 0);
}

}  // namespace
