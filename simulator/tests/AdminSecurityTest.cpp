// Logins, database users and table owners: sp_addlogin, sp_droplogin, sp_adduser,
// sp_dropuser, sp_change_users_login and sp_changeobjectowner.
#include "AdminFixture.h"

namespace msde::admin_test {
namespace {

using AdminSecurityTest = AdminTest;

TEST_F(AdminSecurityTest, LoginsAreCreatedOnceAndDroppedWhenUnused) {
  const Answer added = Run("sp_addlogin 'Sklep', 'QWERTYUI', 'Sklep'");
  ASSERT_FALSE(added.failed());
  EXPECT_TRUE(added.HasInfo(15298));
  EXPECT_EQ(Run("select name from syslogins where name='Sklep'").Cell(), "Sklep");
  EXPECT_TRUE(Connect("Sklep", "QWERTYUI"));
  const Answer again = Run("sp_addlogin 'sklep', 'X', 'Sklep'");
  ASSERT_TRUE(again.HasError(15025));
  EXPECT_EQ(again.errors[0].text, "The login 'sklep' already exists.");
  EXPECT_TRUE(Run("sp_addlogin 'nowy', 'X', 'Brak'").HasError(15010));

  EXPECT_TRUE(Run("sp_droplogin 'jan'").HasError(15175)) << "jan is a user of Sklep";
  EXPECT_TRUE(Run("sp_droplogin 'nikt'").HasError(15007));
  EXPECT_FALSE(Run(" sp_droplogin 'Sklep'").failed());
  EXPECT_EQ(Run("select name from syslogins where name='Sklep'").results.at(0).rows.size(), 0u);
  auto jan = Connect("jan", "tajne");
  EXPECT_TRUE(Run(*jan, "sp_addlogin 'x', 'y'").HasError(15247));
}

TEST_F(AdminSecurityTest, UsersAreAddedAndTiedToLogins) {
  ASSERT_FALSE(Run("sp_addlogin 'Sklep', 'ABCDEFGH', 'Sklep'").failed());
  ASSERT_FALSE(Run("use Sklep").failed());
  EXPECT_TRUE(Run("sp_adduser 'brak','x','db_owner'").HasError(15007));
  EXPECT_TRUE(Run("sp_adduser 'Sklep','jan','db_owner'").HasError(15023));
  EXPECT_TRUE(Run("sp_adduser 'Sklep','dba','nie_ma'").HasError(15014));
  ASSERT_FALSE(Run("sp_adduser 'Sklep','dba','db_owner'").failed());
  EXPECT_TRUE(Run("sp_adduser 'Sklep','dba2'").HasError(15063));
  const Answer users = Run("sp_helpuser");
  bool dba = false;
  for (const Row& row : users.results.at(0).rows)
    dba = dba || (ValueText(row[0]) == "dba" && ValueText(row[2]) == "Sklep");
  EXPECT_TRUE(dba);

  // update_one ties a user to a login that has no other user here.
  EXPECT_FALSE(Run("sp_change_users_login 'update_one','dba','Sklep'").failed());
  EXPECT_TRUE(Run("sp_change_users_login 'update_one','jan','Sklep'").HasError(15063));
  EXPECT_EQ(Run("sp_change_users_login 'update_one','nikt','Sklep'").errors.at(0).text,
            "Terminating this procedure. The User name 'nikt' is absent or invalid.");
  EXPECT_TRUE(Run("sp_change_users_login 'update_one','jan','nikt'").HasError(15291));

  // A user that owns no table goes, and its login can go after it.
  EXPECT_TRUE(Run("sp_dropuser 'jan'").HasError(15183)) << "jan owns Klienci";
  EXPECT_TRUE(Run("sp_dropuser 'nikt'").HasError(15008));
  EXPECT_TRUE(Run(" sp_droplogin 'Sklep'").HasError(15175));
  ASSERT_FALSE(Run("sp_dropuser 'dba'").failed());
  EXPECT_FALSE(Run(" sp_droplogin 'Sklep'").failed());
}

TEST_F(AdminSecurityTest, TablesChangeOwner) {
  ASSERT_FALSE(Run("use Sklep").failed());
  const Answer a = Run("sp_changeobjectowner 'jan.Klienci', 'dbo'");
  ASSERT_FALSE(a.failed());
  EXPECT_TRUE(a.HasInfo(15477));
  EXPECT_EQ(Run("select Nazwisko from dbo.Klienci").Cell(), "Kowalski");
  EXPECT_TRUE(Run("sp_changeobjectowner 'jan.Klienci', 'dbo'").HasError(15001));
  EXPECT_TRUE(Run("sp_changeobjectowner 'dbo.Klienci', 'nikt'").HasError(15410));
  EXPECT_FALSE(Run("sp_changeobjectowner 'dbo.Towary', 'jan'").failed());
  ASSERT_FALSE(Run("sp_changeobjectowner 'dbo.Klienci', 'jan'").failed());
  ASSERT_FALSE(Run("sp_changeobjectowner '[jan].[Klienci]', 'dbo'").failed());
}

}  // namespace
}  // namespace msde::admin_test
