// The tree says each database's state as the server reports it: every state set on a second
// connection gets its suffix, its picture and its commands; a login without rights sees the
// healthy databases it may not enter as such, not as damaged.
#include <gmock/gmock.h>

#include <QImage>
#include <QTest>

#include "app/Images.h"
#include "app/NodeKinds.h"
#include "app/admin/StateCommands.h"
#include "app/admin/tests/AdminFixture.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;
using ::testing::Each;

namespace {

QImage Picture(const QIcon& Icon) { return Icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32); }

class DatabaseStates : public AdminWindowTest {
 protected:
  std::unique_ptr<msde::testkit::OdbcClient> Admin() {
    return std::make_unique<msde::testkit::OdbcClient>(Sim->Utf8ConnectionString("sa", ""));
  }

  // What the user sees of a database node and may do with it.
  struct Seen {
    int Kind = nkNone;
    QStringList Folders;
    bool Icon = false;  // the picture of its kind
    bool Usable = false, Online = false, Offline = false;
  };
  Seen Look(const QString& Text, int Marks = dmNone) {
    Seen seen;
    QTreeWidgetItem* node = Node(Text);
    EXPECT_NE(node, nullptr) << Text.toStdString() << " in " << Children(Node("Bazy")).join(", ").toStdString();
    if (!node) return seen;
    Select(node);
    seen.Kind = TForm1::NodeIdentity(node).Kind;
    seen.Folders = Children(node);
    seen.Icon = Picture(node->icon(0)) == Picture(TreeImage(seen.Kind, Marks));
    seen.Usable = Form->CommandEnabled(TCommandId::cmCheck);
    seen.Online = Form->CommandEnabled(TCommandId::cmBringOnline);
    seen.Offline = Form->CommandEnabled(TCommandId::cmTakeOffline);
    return seen;
  }
  const QStringList kFolders{"Tabele", QStringLiteral("Użytkownicy")};
};

TEST_F(DatabaseStates, EachStateSetOnAnotherConnectionHasItsSuffixPictureAndCommands) {
  auto admin = Admin();
  const std::string backup = "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\BACKUP\\SklepCentrum.bak";
  ASSERT_TRUE(admin->Exec("BACKUP DATABASE SklepCentrum TO DISK = N'" + backup + "' WITH INIT").ok);
  ASSERT_TRUE(admin->Exec("RESTORE DATABASE SklepCentrum FROM DISK = N'" + backup + "' WITH REPLACE, NORECOVERY").ok);
  ASSERT_TRUE(admin->Exec("ALTER DATABASE Sklep SET READ_ONLY").ok);
  ASSERT_TRUE(admin->Exec("ALTER DATABASE Hurtownia SET SINGLE_USER").ok);
  auto till = Holder("Hurtownia", "Tovinex");  // the one connection it now allows
  ASSERT_TRUE(admin->Exec("ALTER DATABASE SklepZachod SET OFFLINE").ok);

  size_t mark = Sim->TraceMark();
  Form->FormKeyDown(Qt::Key_F5);
  // One reading tells every state: no database is entered to find out.
  EXPECT_THAT(SentStarting(mark, "use "), Each(std::string("use master")));
  EXPECT_EQ(SentStarting(mark, "select status, dbid").size(), 1u);

  Seen s = Look(QStringLiteral("Sklep (Tylko do odczytu)"));
  EXPECT_EQ(s.Kind, nkDatabaseReadOnly);
  EXPECT_EQ(s.Folders, kFolders);
  EXPECT_TRUE(s.Icon && s.Usable && s.Offline && !s.Online);

  s = Look(QStringLiteral("Hurtownia (Single User)"));
  EXPECT_EQ(s.Kind, nkDatabaseSingleUser);
  EXPECT_TRUE(s.Folders.isEmpty()) << "held by the till: the tool may not enter it";
  EXPECT_TRUE(s.Icon && s.Usable && !s.Online);
  EXPECT_TRUE(Form->CommandEnabled(TCommandId::cmMultiUser)) << "the way to give it back to everyone";

  s = Look(QStringLiteral("SklepZachod (Offline)"));
  EXPECT_EQ(s.Kind, nkDatabaseOffline);
  EXPECT_TRUE(s.Folders.isEmpty());
  EXPECT_TRUE(s.Icon && !s.Usable && s.Online);

  s = Look(QStringLiteral("SklepPoludnie (Uszkodzona)"));
  EXPECT_EQ(s.Kind, nkDatabaseDamaged);
  EXPECT_TRUE(s.Icon && !s.Usable && s.Online);

  s = Look(QStringLiteral("SklepCentrum (Odtwarzanie)"));
  EXPECT_EQ(s.Kind, nkDatabaseRestoring);
  EXPECT_TRUE(s.Folders.isEmpty());
  EXPECT_TRUE(s.Icon && !s.Usable && !s.Online && !s.Offline) << "a restore ends it, not \"Włącz bazę\"";

  s = Look(QStringLiteral("Sklep Wschód"));
  EXPECT_EQ(s.Kind, nkDatabase);
  EXPECT_EQ(s.Folders, kFolders);
  for (const auto& m : Dialogs.Messages) ADD_FAILURE() << m.Text;

  // The till leaves: the database is still single user, and now the tool may open it.
  till.reset();
  // The server ends the till's session once it reads the closed connection, on a thread of
  // its own; until then the database is rightly still held.
  msde::testkit::OdbcClient check(Sim->Utf8ConnectionString("sa", ""));
  QTRY_VERIFY_WITH_TIMEOUT(
      check.Scalar("select count(*) from sysprocesses where dbid = db_id(N'Hurtownia') and program_name = 'Tovinex'") ==
          "0",
      30000);
  Form->FormKeyDown(Qt::Key_F5);
  EXPECT_EQ(Look(QStringLiteral("Hurtownia (Single User)")).Folders, kFolders);
}

// A database another connection holds in single-user mode is online: "Włącz bazę" is not
// offered there, and run anyway it disconnects no one and sends nothing.
TEST_F(DatabaseStates, BringingOnlineADatabaseHeldInSingleUserModeLeavesItsHolderAlone) {
  auto admin = Admin();
  ASSERT_TRUE(admin->Exec("ALTER DATABASE Hurtownia SET SINGLE_USER").ok);
  auto till = Holder("Hurtownia", "Tovinex");
  Form->FormKeyDown(Qt::Key_F5);
  SelectDatabase("Hurtownia (Single User)");
  EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmBringOnline));

  const size_t mark = Sim->TraceMark();
  admin::Wczbaz1Click(*Form);
  EXPECT_THAT(SentStarting(mark, "ALTER"), IsEmpty());
  EXPECT_THAT(SentStarting(mark, "KILL"), IsEmpty());
  EXPECT_EQ(LastText(), "Baza \"Hurtownia\" jest już włączona");
  EXPECT_TRUE(till->Exec("select count(*) from Towary").ok) << "the till keeps its connection";
  EXPECT_EQ(Property("Hurtownia", "UserAccess"), "SINGLE_USER");
}

// A login without rights to most shops (kasa1, a till of Sklep): the healthy ones it may not
// enter say so, without folders or commands that need them; its own shop is usable; the
// offline and damaged ones keep their states.
using DatabaseStatesOfALogin = SimWindowTest;

TEST_F(DatabaseStatesOfALogin, ALoginWithoutRightsSeesHealthyDatabasesAsNoAccess) {
  Dialogs.DialogAnswers.push_back([](QDialog* d) {
    static_cast<TPasswordDlg*>(d)->Edit2->setText("kasa1");
    static_cast<TPasswordDlg*>(d)->Edit3->setText("kasa1");
    return int(QDialog::Accepted);
  });
  const size_t mark = Sim->TraceMark();
  Form->FormShow();
  for (const char* name : {"Hurtownia", "Sklep Wschód", "SklepZachod", "Ksiegowosc"}) {
    QTreeWidgetItem* db = Node(QString::fromUtf8(name) + QStringLiteral(" (Brak dostępu)"));
    ASSERT_NE(db, nullptr) << name << " in " << Children(Node("Bazy")).join(", ").toStdString();
    EXPECT_EQ(TForm1::NodeIdentity(db).Kind, nkDatabaseNoAccess);
    EXPECT_EQ(Picture(db->icon(0)), Picture(TreeImage(nkDatabaseNoAccess)));
    EXPECT_EQ(db->childCount(), 0);
    Select(db);
    EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmCheck)) << name;
    EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmBringOnline)) << name;
  }
  ASSERT_NE(Node("Sklep"), nullptr);
  EXPECT_EQ(Children(Node("Sklep")), QStringList({"Tabele", QStringLiteral("Użytkownicy")}));
  EXPECT_NE(Node("Archiwum2006 (Offline)"), nullptr);
  EXPECT_NE(Node("SklepPoludnie (Uszkodzona)"), nullptr);
  for (const auto& m : Dialogs.Messages) ADD_FAILURE() << m.Text;
  for (const auto& line : Sim->TraceSince(mark)) {
    const bool enters = line.Application == "Vandrel" && line.Text.rfind("use ", 0) == 0 && line.Text != "use master";
    EXPECT_FALSE(enters) << line.Text;
  }
}

// SQL Server 2005's emergency mode: held for the administrators, and "Włącz bazę" brings it
// back; the pane then shows it online.
class DatabaseStates2005 : public DatabaseStates {
 protected:
  std::string DataFile() const override { return DataSet("demo2005.json"); }
};

TEST_F(DatabaseStates2005, AnEmergencyDatabaseIsHeldAndComesBackOnline) {
  ASSERT_TRUE(Admin()->Exec("ALTER DATABASE Sklep SET EMERGENCY").ok);
  Form->FormKeyDown(Qt::Key_F5);
  const Seen s = Look(QStringLiteral("Sklep (Wstrzymana)"));
  EXPECT_EQ(s.Kind, nkDatabaseEmergency);
  EXPECT_TRUE(s.Folders.isEmpty());
  EXPECT_TRUE(s.Icon && !s.Usable && s.Online && !s.Offline);

  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmBringOnline);
  EXPECT_THAT(SentStarting(mark, "ALTER"), ElementsAre("ALTER DATABASE Sklep SET ONLINE"));
  EXPECT_EQ(LastText(), "Baza \"Sklep\" została włączona");
  ASSERT_NE(Node("Sklep"), nullptr);
  EXPECT_EQ(TForm1::NodeIdentity(Form->TreeView1->currentItem()).Database, "Sklep") << "still the one chosen";
  EXPECT_EQ(DetailValue(QStringLiteral("Tryb offline: ")), QStringLiteral("Wyłączony"));
}

}  // namespace
