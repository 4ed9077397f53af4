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
      {nkDatabasesFolder, dmNone},    {nkDatabase, dmNone},           {nkDatabaseReadOnly, dmNone},
      {nkDatabaseSingleUser, dmNone}, {nkDatabaseSingleUser, dmReadOnly}, {nkTablesFolder, dmNone},
      {nkTable, dmNone},              {nkUsersFolder, dmNone},        {nkUser, dmNone},
      {nkLoginsFolder, dmNone},       {nkLogin, dmNone},              {nkServer, dmNone},
      {nkServerLost, dmNone},         {nkDatabaseOffline, dmNone},    {nkDatabaseDamaged, dmNone},
      {nkDatabaseNoAccess, dmNone},   {nkDatabaseRestoring, dmNone},  {nkDatabaseEmergency, dmNone}};
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

TEST_F(TreeImages, ReadOnlyAndSingleUserDatabasesSayTheirStateAndStayUsable) {
  msde::testkit::OdbcClient other(Sim->ConnectionString("sa", kSaPassword));
  ASSERT_TRUE(other.Exec("ALTER DATABASE Sklep SET READ_ONLY").ok);
  ASSERT_TRUE(other.Exec("ALTER DATABASE Hurtownia SET SINGLE_USER, READ_ONLY").ok);
  Connect();
  QTreeWidgetItem* readOnly = Node(QStringLiteral("Sklep (Tylko do odczytu)"));
  QTreeWidgetItem* singleUser = Node(QStringLiteral("Hurtownia (Single User)"));
  ASSERT_NE(readOnly, nullptr) << Children(Node("Bazy")).join(", ").toStdString();
  ASSERT_NE(singleUser, nullptr);
  EXPECT_EQ(TForm1::NodeIdentity(readOnly).Kind, nkDatabaseReadOnly);
  EXPECT_EQ(TForm1::NodeIdentity(readOnly).Database, "Sklep");
  EXPECT_EQ(TForm1::NodeIdentity(singleUser).Kind, nkDatabaseSingleUser);
  EXPECT_EQ(Picture(readOnly->icon(0)), Picture(TreeImage(nkDatabaseReadOnly)));
  // The one it is held to is its kind; being read only too is a second mark.
  EXPECT_EQ(Picture(singleUser->icon(0)), Picture(TreeImage(nkDatabaseSingleUser, dmReadOnly)));
  EXPECT_EQ(Children(readOnly), QStringList({"Tabele", QStringLiteral("Użytkownicy")}));
  EXPECT_EQ(Children(singleUser), QStringList({"Tabele", QStringLiteral("Użytkownicy")})) << "no one holds it";

  // Back to read-write: the next rebuild shows the plain name and picture again.
  ASSERT_TRUE(other.Exec("ALTER DATABASE Sklep SET READ_WRITE").ok);
  Form->FormKeyDown(Qt::Key_F5);
  ASSERT_NE(Node("Sklep"), nullptr);
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
