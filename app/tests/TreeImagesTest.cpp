// What the tree's pictures tell at a glance: every kind its own picture, and a database's
// state (offline, damaged or suspect, read-only, single user) visible on its node.
#include <QImage>

#include "app/Images.h"
#include "app/NodeKinds.h"
#include "app/tests/SimFixture.h"
#include "testkit/OdbcClient.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;

namespace {

QImage Picture(const QIcon& Icon) { return Icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32); }

class TreeImages : public SimWindowTest {};

TEST_F(TreeImages, EveryKindAndStateHasAPictureOfItsOwn) {
  const std::vector<std::pair<int, int>> shown = {
      {nkDatabasesFolder, dmNone}, {nkDatabase, dmNone},      {nkDatabase, dmReadOnly},
      {nkDatabase, dmSingleUser},  {nkTablesFolder, dmNone}, {nkTable, dmNone},
      {nkUsersFolder, dmNone},     {nkUser, dmNone},         {nkLoginsFolder, dmNone},
      {nkLogin, dmNone},           {nkServer, dmNone},       {nkServerLost, dmNone},
      {nkDatabaseOffline, dmNone}, {nkDatabaseDamaged, dmNone}};
  std::vector<QImage> pictures;
  for (auto [kind, marks] : shown) {
    const QImage p = Picture(TreeImage(kind, marks));
    EXPECT_FALSE(p.isNull()) << kind;
    for (size_t i = 0; i < pictures.size(); ++i)
      EXPECT_NE(p, pictures[i]) << "kind " << kind << "/" << marks << " looks like kind "
                                << shown[i].first << "/" << shown[i].second;
    pictures.push_back(p);
  }
}

TEST_F(TreeImages, TheSuspectDemoDatabaseShowsAsDamaged) {
  Connect();
  QTreeWidgetItem* suspect = Node(QStringLiteral("SklepPoludnie (Uszkodzona)"));
  ASSERT_NE(suspect, nullptr) << Children(Node("Bazy")).join(", ").toStdString();
  EXPECT_EQ(TForm1::NodeSelectedImage(suspect), nkDatabaseDamaged);
  EXPECT_EQ(Picture(suspect->icon(0)), Picture(TreeImage(nkDatabaseDamaged)));
  EXPECT_EQ(suspect->childCount(), 0);
  QTreeWidgetItem* offline = Node(QStringLiteral("Archiwum2006 (Offline)"));
  ASSERT_NE(offline, nullptr);
  EXPECT_EQ(Picture(offline->icon(0)), Picture(TreeImage(nkDatabaseOffline)));
  EXPECT_EQ(Picture(Node("Sklep")->icon(0)), Picture(TreeImage(nkDatabase)));
}

TEST_F(TreeImages, ReadOnlyAndSingleUserDatabasesKeepTheirKindAndShowTheirState) {
  msde::testkit::OdbcClient other(Sim->ConnectionString("sa", kSaPassword));
  ASSERT_TRUE(other.Exec("ALTER DATABASE Sklep SET READ_ONLY").ok);
  ASSERT_TRUE(other.Exec("ALTER DATABASE Hurtownia SET SINGLE_USER").ok);
  Connect();
  QTreeWidgetItem* readOnly = Node("Sklep");
  QTreeWidgetItem* singleUser = Node("Hurtownia");
  ASSERT_NE(readOnly, nullptr);
  ASSERT_NE(singleUser, nullptr);
  // Still usable databases to every command: only the picture says more.
  EXPECT_EQ(TForm1::NodeSelectedImage(readOnly), nkDatabase);
  EXPECT_EQ(TForm1::NodeSelectedImage(singleUser), nkDatabase);
  EXPECT_EQ(Picture(readOnly->icon(0)), Picture(TreeImage(nkDatabase, dmReadOnly)));
  EXPECT_EQ(Picture(singleUser->icon(0)), Picture(TreeImage(nkDatabase, dmSingleUser)));
  EXPECT_EQ(Children(readOnly), QStringList({"Tabele", QStringLiteral("Użytkownicy")}));

  // Back to read-write: the next rebuild shows the plain picture again.
  ASSERT_TRUE(other.Exec("ALTER DATABASE Sklep SET READ_WRITE").ok);
  Form->FormKeyDown(Qt::Key_F5);
  EXPECT_EQ(Picture(Node("Sklep")->icon(0)), Picture(TreeImage(nkDatabase)));
}

TEST_F(TreeImages, TheServerNodesPictureFollowsTheConnection) {
  Connect();
  QTreeWidgetItem* server = Form->TreeView1->topLevelItem(0);
  EXPECT_EQ(Picture(server->icon(0)), Picture(TreeImage(nkServer)));
  Sim->Stop();
  Form->EnsureConnected();
  EXPECT_EQ(Picture(server->icon(0)), Picture(TreeImage(nkServerLost)));
}

}  // namespace
