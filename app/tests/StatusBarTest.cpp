// The status bar as a user reads it through whole sequences: connecting, a failed connect, a
// lost and regained connection, displays that change the list and one that fails.
#include <QLabel>

#include "app/NodeKinds.h"
#include "app/StatusLine.h"
#include "app/tests/SimFixture.h"
#include "testkit/OdbcClient.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;

namespace {

class StatusBar : public SimWindowTest {
 protected:
  QString Server() const { return Form->StatusBar1->ServerLabel->text(); }
  QString User() const { return Form->StatusBar1->UserLabel->text(); }
  QString State() const { return Form->StatusBar1->StateLabel->text(); }
  QString Rows() const { return Form->StatusBar1->RowsLabel->text(); }
  QString RowsOfList() const { return QStringLiteral("Wierszy: %1").arg(Form->ListView1->RowCount()); }
};

TEST_F(StatusBar, FollowsConnectingAndEveryDisplay) {
  EXPECT_EQ(State(), QStringLiteral("Brak połączenia"));
  EXPECT_EQ(Rows(), QStringLiteral("Wierszy: 0"));
  Connect();
  EXPECT_EQ(Server(), QStringLiteral("Serwer: SKLEP-SERWER"));  // the name the tree shows
  EXPECT_EQ(User(), QStringLiteral("Użytkownik: sa"));
  EXPECT_EQ(State(), QStringLiteral("Połączono"));
  ASSERT_GT(Form->ListView1->RowCount(), 3);  // the database list after the first tree
  EXPECT_EQ(Rows(), RowsOfList());

  Select(Node("Loginy"));
  EXPECT_EQ(Rows(), RowsOfList());
  Select(NodeUnder(Node("Sklep"), "Tabele"));
  EXPECT_EQ(Rows(), RowsOfList());
  Form->Commands(TCommandId::cmShowTableContents).first()->trigger();
  Select(Node("dbo.Towary"));
  ASSERT_GT(Form->ListView1->RowCount(), 0);
  EXPECT_EQ(Rows(), RowsOfList());

  // A display that fails empties the list, and the count says so.
  msde::testkit::OdbcClient other(Sim->ConnectionString("sa", kSaPassword));
  ASSERT_TRUE(other.Exec("ALTER DATABASE Hurtownia SET OFFLINE WITH ROLLBACK IMMEDIATE").ok);
  Select(NodeUnder(Node("Hurtownia"), "Tabele"));
  EXPECT_EQ(Form->ListView1->RowCount(), 0);
  EXPECT_EQ(Rows(), QStringLiteral("Wierszy: 0"));
}

TEST_F(StatusBar, ShowsTheServerNodesStateThroughALostConnection) {
  Connect();
  QTreeWidgetItem* server = Form->TreeView1->topLevelItem(0);
  Sim->Stop();
  Select(Node("Loginy"));  // the display's probe finds the server gone
  EXPECT_EQ(TForm1::NodeImage(server), nkServerLost);
  EXPECT_EQ(State(), QStringLiteral("Połączenie przerwane"));
  EXPECT_EQ(Server(), QStringLiteral("Serwer: SKLEP-SERWER"));

  Sim->Restart();
  Dialogs.Messages.clear();
  Form->FormKeyDown(Qt::Key_F5);  // reconnects, and the rebuilt tree's server is reachable
  EXPECT_EQ(TForm1::NodeImage(Form->TreeView1->topLevelItem(0)), nkServer);
  EXPECT_EQ(State(), QStringLiteral("Połączono"));
  EXPECT_EQ(Rows(), RowsOfList());
}

TEST_F(StatusBar, AFailedConnectNamesTheServerAndUserTried) {
  AnswerLogin("niewłaściwe");
  Form->FormShow();
  EXPECT_EQ(Form->TreeView1->topLevelItemCount(), 0);
  EXPECT_EQ(State(), QStringLiteral("Brak połączenia"));
  EXPECT_EQ(User(), QStringLiteral("Użytkownik: sa"));
  EXPECT_FALSE(Server().endsWith(QStringLiteral(": -"))) << Server().toStdString();
  EXPECT_EQ(Rows(), QStringLiteral("Wierszy: 0"));
}

}  // namespace
