// The commands follow what the login may do, read after it connects: a login that owns one
// database and nothing more finds the server's commands held back, each saying which rights it
// needs, and the database commands offered on its database alone; a sysadmin finds them all,
// except on the server's own databases.
#include <QAction>

#include "app/admin/tests/AdminFixture.h"

namespace vandrel::app::testing {
namespace {

using enum TCommandId;

class LoginRights : public AdminWindowTest {
 protected:
  void SetUp() override {
    AdminWindowTest::SetUp();
    msde::testkit::OdbcClient sa(Sim->Utf8ConnectionString("sa", ""));
    for (const char* setUp : {"sp_addlogin 'logistyk', 'logi1', 'Sklep'",
                              // The owner of Sklep, a plain user of Hurtownia.
                              "use Sklep exec sp_adduser 'logistyk', 'logistyk', 'db_owner'",
                              "use Hurtownia exec sp_adduser 'logistyk'"}) {
      const auto done = sa.Exec(setUp);
      ASSERT_TRUE(done.ok) << setUp << ": " << (done.diagnostics.empty() ? "" : done.diagnostics[0].text);
    }
  }
  void ConnectAs(const char* User, const char* Password) {
    AnswerLoginAs(User, Password);
    Form->ChooseServer();
    Dialogs.Messages.clear();
  }
  bool Enabled(TCommandId Id) const { return Form->CommandEnabled(Id); }
  // The tip a command shows; none when Qt falls back on the command's own caption.
  std::string Tip(TCommandId Id) const {
    const QAction* action = Form->Commands(Id).first();
    return action->toolTip() == CaptionOf(action->text()) ? std::string() : action->toolTip().toStdString();
  }
  // The process list with a session of another program selected.
  void SelectOtherSession(const std::string& Spid) {
    Run(cmProcesses);
    for (int r = 0; r < Form->ListView1->RowCount(); ++r)
      if (Form->ListView1->Text(r, 0).toStdString() == Spid) Form->ListView1->selectRow(r);
    Form->PreparePopupMenu2();
  }
};

TEST_F(LoginRights, ALoginThatOwnsOneDatabaseIsOfferedItsCommandsThereAlone) {
  ConnectAs("logistyk", "logi1");
  const size_t mark = Sim->TraceMark();
  SelectDatabase("Sklep");
  EXPECT_FALSE(Enabled(cmAttach));
  EXPECT_EQ(Tip(cmAttach), "wymaga uprawnień sysadmin lub dbcreator");
  EXPECT_FALSE(Enabled(cmDetach));
  EXPECT_EQ(Tip(cmDetach), "wymaga uprawnień sysadmin");
  for (TCommandId id : {cmTakeOffline, cmSetReadOnly, cmSingleUser, cmCheck, cmRepairFast, cmChangeTableOwner,
                        cmShrinkDatabase, cmDatabaseOptions}) {
    EXPECT_TRUE(Enabled(id)) << CommandCaption(id);
    EXPECT_EQ(Tip(id), "") << CommandCaption(id);
  }
  // A database where the login is a plain user: the same commands say what they need.
  SelectDatabase("Hurtownia");
  for (TCommandId id : {cmTakeOffline, cmCheck, cmDatabaseOptions}) EXPECT_FALSE(Enabled(id)) << CommandCaption(id);
  EXPECT_EQ(Tip(cmTakeOffline), "wymaga uprawnień sysadmin, dbcreator lub db_owner bazy Hurtownia");
  EXPECT_EQ(Tip(cmCheck), "wymaga uprawnień sysadmin lub db_owner bazy Hurtownia");
  // Each database is asked about once.
  SelectDatabase("Sklep");
  EXPECT_TRUE(Enabled(cmCheck));
  EXPECT_EQ(SentStarting(mark, "select IS_MEMBER").size(), 2u);

  // What the database commands send works on its own database.
  SelectDatabase("Sklep");
  Run(cmCheck);
  EXPECT_EQ(LastSummary(), "Baza danych nie zawiera błędów") << LastText();

  // The server's sessions: locks may be looked at, the rest needs more.
  auto till = Holder("Sklep", "Kasa1");
  SelectOtherSession(till->Scalar("select @@SPID"));
  EXPECT_FALSE(Enabled(cmKillProcess));
  EXPECT_EQ(Tip(cmKillProcess), "wymaga uprawnień sysadmin lub processadmin");
  EXPECT_FALSE(Enabled(cmSessionLastBatch));
  EXPECT_EQ(Tip(cmSessionLastBatch), "wymaga uprawnień sysadmin");
  EXPECT_TRUE(Enabled(cmSessionLocks));
}

TEST_F(LoginRights, ASysadminIsOfferedEverythingButTheSystemDatabasesStates) {
  const size_t mark = Sim->TraceMark();
  SelectDatabase("Hurtownia");
  for (TCommandId id : {cmAttach, cmDetach, cmTakeOffline, cmSetReadOnly, cmSingleUser, cmCheck, cmChangeTableOwner,
                        cmShrinkDatabase, cmDatabaseOptions}) {
    EXPECT_TRUE(Enabled(id)) << CommandCaption(id);
    EXPECT_EQ(Tip(id), "") << CommandCaption(id);
  }
  EXPECT_THAT(SentStarting(mark, "select IS_MEMBER"), IsEmpty()) << "a sysadmin owns every database";
  auto till = Holder("Sklep", "Kasa1");
  SelectOtherSession(till->Scalar("select @@SPID"));
  EXPECT_TRUE(Enabled(cmKillProcess));
  EXPECT_TRUE(Enabled(cmSessionLastBatch));

  Run(cmHideSystemDatabases);
  SelectDatabase("master");
  for (TCommandId id : {cmDetach, cmTakeOffline, cmSetReadOnly, cmSingleUser, cmChangeTableOwner, cmDatabaseOptions}) {
    EXPECT_FALSE(Enabled(id)) << CommandCaption(id);
    EXPECT_EQ(Tip(id), "niedostępne dla bazy systemowej master") << CommandCaption(id);
  }
  EXPECT_TRUE(Enabled(cmCheck)) << "the server's own databases may still be checked";
}

}  // namespace
}  // namespace vandrel::app::testing
