// Logins moved between servers with their password hashes and sids: syslogins.password and
// sys.sql_logins.password_hash, PWDCOMPARE, sp_addlogin ... 'skip_encryption' on SQL Server
// 2000, CREATE LOGIN ... HASHED on 2005, SUSER_SID, and logins named with Polish letters.
#include <gmock/gmock.h>

#include "AdminFixture.h"
#include "engine/PasswordHash.h"
#include "engine/Values.h"

namespace msde::admin_test {
namespace {

std::string Utf16Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

class AdminLoginTransferTest : public AdminTest {
 public:
  void Become2005() { Restart(DataSet2005()); }
};

TEST_F(AdminLoginTransferTest, TheHashIsASaltedSha1OfThePasswordsUtf16) {
  // FIPS 180 test vectors.
  EXPECT_EQ(HexText(Sha1("abc")), "0xA9993E364706816ABA3E25717850C26C9CD0D89D");
  EXPECT_EQ(HexText(Sha1("")), "0xDA39A3EE5E6B4B0D3255BFEF95601890AFD80709");

  const std::string shown = Run("select password from master..syslogins where name = 'jan'").Cell();
  ASSERT_EQ(shown.size(), 2u + 2 * 46);
  const std::string hash = *HexBytes(shown);
  EXPECT_EQ(hash.substr(0, 2), std::string("\x01\x00", 2));
  const std::string salt = hash.substr(2, 4);
  EXPECT_EQ(hash.substr(6, 20), Sha1(Utf16Le(u"tajne") + salt));
  EXPECT_EQ(hash.substr(26, 20), Sha1(Utf16Le(u"TAJNE") + salt));
  // The same on every start; a login without a password shows none.
  EXPECT_EQ(Run("select password from master..syslogins where name = 'jan'").Cell(), shown);
  EXPECT_TRUE(Run("select password from master..syslogins where name = 'sa'").IsNullAt(0, 0));

  EXPECT_EQ(Run("select PWDCOMPARE('tajne', password) from master..syslogins where name = 'jan'").Cell(), "1");
  EXPECT_EQ(Run("select PWDCOMPARE('Tajne', password) from master..syslogins where name = 'jan'").Cell(), "0");
  EXPECT_EQ(Run("select PWDCOMPARE('tajne', " + shown + ")").Cell(), "1");
}

TEST_F(AdminLoginTransferTest, SkipEncryptionTakesAHashAndASidSoTheLoginKeepsItsPassword) {
  const std::string hash = Run("select password from master..syslogins where name = 'jan'").Cell();
  const std::string sid = "0x5B1E9C4F22A14D3E8C7A61F0B2D39E11";
  const Answer added = Run("exec sp_addlogin @loginame = N'kasa2', @passwd = " + hash +
                           ", @defdb = N'Sklep', @deflanguage = N'polski', @sid = " + sid +
                           ", @encryptopt = 'skip_encryption'");
  ASSERT_FALSE(added.failed()) << added.ErrorText();
  EXPECT_TRUE(LogsIn("kasa2", "tajne"));
  EXPECT_FALSE(LogsIn("kasa2", hash));
  EXPECT_EQ(Run("select password from master..syslogins where name = 'kasa2'").Cell(), hash);
  EXPECT_EQ(HexText(Run("select sid from master..syslogins where name = 'kasa2'").Cell()), sid);
  EXPECT_EQ(HexText(Run("select SUSER_SID('kasa2')").Cell()), sid);
  EXPECT_EQ(Run("select SUSER_SNAME(" + sid + ")").Cell(), "kasa2");
  EXPECT_EQ(Run("select dbname + ' ' + language from master..syslogins where name = 'kasa2'").Cell(), "Sklep polski");

  // A sid another login has, one of the wrong length, a password that is no hash.
  const Answer taken = Run("sp_addlogin 'kasa3', " + hash + ", @sid = " + sid + ", @encryptopt = 'skip_encryption'");
  EXPECT_EQ(taken.ErrorNumber(), 15433);
  EXPECT_EQ(taken.ErrorText(), "Supplied parameter sid is in use.");
  EXPECT_EQ(Run("sp_addlogin 'kasa3', 'x', @sid = 0x0102").ErrorNumber(), 15419);
  EXPECT_EQ(Run("sp_addlogin 'kasa3', 0x0102, @encryptopt = 'skip_encryption'").ErrorNumber(), 15021);
  EXPECT_FALSE(LogsIn("kasa3", "x"));
  // Without skip_encryption the text given is the password.
  ASSERT_FALSE(Run("sp_addlogin 'kasa3', '0x0100'").failed());
  EXPECT_TRUE(LogsIn("kasa3", "0x0100"));
}

TEST_F(AdminLoginTransferTest, CreateLoginHashedOn2005TakesBothServersHashes) {
  const std::string hash2000 = Run("select password from master..syslogins where name = 'jan'").Cell();
  Become2005();
  const Answer view = Run("select password_hash, sid from master.sys.sql_logins where name = 'jan'");
  ASSERT_EQ(view.Result().rows.size(), 1u);
  const std::string hash2005 = view.Cell(0, 0);
  ASSERT_EQ(hash2005.size(), 26u);
  EXPECT_EQ(hash2005.substr(6), Sha1(Utf16Le(u"tajne") + hash2005.substr(2, 4)));
  EXPECT_EQ(view.Cell(0, 1).size(), 16u);
  EXPECT_EQ(Run("select PWDCOMPARE(N'tajne', password_hash) from sys.sql_logins where name = 'jan'").Cell(), "1");
  EXPECT_EQ(Run("select PWDCOMPARE(N'', password_hash) from sys.sql_logins where name = 'sa'").Cell(), "1");

  const std::string sid = "0x7C2D4E1A9B3F40C58D6E0F1A2B3C4D5E";
  const Answer created = Run("CREATE LOGIN [kasa2] WITH PASSWORD = " + HexText(hash2005) + " HASHED, SID = " + sid +
                             ", DEFAULT_DATABASE = [Sklep], DEFAULT_LANGUAGE = [polski], CHECK_POLICY = OFF");
  ASSERT_FALSE(created.failed()) << created.ErrorText();
  EXPECT_TRUE(LogsIn("kasa2", "tajne"));
  EXPECT_EQ(Run("select password_hash from sys.sql_logins where name = 'kasa2'").Cell(), hash2005);
  EXPECT_EQ(HexText(Run("select SUSER_SID(N'kasa2')").Cell()), sid);
  // A hash moved from SQL Server 2000, with its upper-case half.
  ASSERT_FALSE(Run("CREATE LOGIN kasa3 WITH PASSWORD = " + hash2000 + " HASHED, CHECK_POLICY = OFF").failed());
  EXPECT_TRUE(LogsIn("kasa3", "tajne"));
  EXPECT_FALSE(LogsIn("kasa3", "TAJNE"));
  // A clear password, and the refusals.
  ASSERT_FALSE(Run("create login kasa4 with password = 'Haslo1', default_database = Sklep").failed());
  EXPECT_TRUE(LogsIn("kasa4", "Haslo1"));
  const Answer again = Run("CREATE LOGIN KASA4 WITH PASSWORD = 'x'");
  EXPECT_EQ(again.ErrorNumber(), 15025);
  EXPECT_EQ(again.ErrorText(), "The server principal 'KASA4' already exists.");
  EXPECT_EQ(Run("CREATE LOGIN kasa5 WITH PASSWORD = 'x', SID = " + sid).ErrorNumber(), 15433);
  EXPECT_EQ(Run("CREATE LOGIN kasa5 WITH PASSWORD = 0x0100 HASHED").ErrorNumber(), 15021);
  auto jan = Connect("jan", "tajne");
  EXPECT_EQ(Run(*jan, "CREATE LOGIN kasa5 WITH PASSWORD = 'x'").ErrorNumber(), 15247);
}

TEST_F(AdminLoginTransferTest, CreateLoginIsNoStatementOfSqlServer2000) {
  const Answer a = Run("CREATE LOGIN kasa2 WITH PASSWORD = 'x'");
  EXPECT_EQ(a.ErrorNumber(), 170);
  EXPECT_EQ(a.ErrorText(), "Line 1: Incorrect syntax near 'CREATE'.");
}

TEST_F(AdminLoginTransferTest, LoginsNamedWithPolishLettersLogInWhateverTheirCase) {
  ASSERT_FALSE(Run("sp_addlogin N'Zażółć', N'gęślą jaźń', 'Sklep'").failed());
  EXPECT_TRUE(LogsIn("Zażółć", "gęślą jaźń"));
  EXPECT_TRUE(LogsIn("ZAŻÓŁĆ", "gęślą jaźń"));
  EXPECT_FALSE(LogsIn("Zazolc", "gęślą jaźń"));
  EXPECT_EQ(Run("sp_addlogin N'zażółć', 'x'").ErrorNumber(), 15025);
  ASSERT_FALSE(Run("use Sklep exec sp_adduser N'zażółć', N'Użytkownik Północ'").failed());
  EXPECT_EQ(Run("select name from Sklep..sysusers where name = N'Użytkownik Północ'").Cell(), "Użytkownik Północ");
  EXPECT_EQ(Run("use Sklep exec sp_adduser N'jan', N'UŻYTKOWNIK PÓŁNOC'").ErrorNumber(), 15023);
  EXPECT_EQ(Run("select PWDCOMPARE(N'gęślą jaźń', password) from master..syslogins where name = N'Zażółć'").Cell(), "1");
}

}  // namespace
}  // namespace msde::admin_test
