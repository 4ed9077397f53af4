#include "platform/RegText.h"

#include <gtest/gtest.h>

namespace vandrel::platform {
namespace {

const std::string kRoot = "HKEY_LOCAL_MACHINE";

// A store as regedit exports it: CRLF, a comment, a default value, dword and binary values
// (one continued over two lines), and keys spelled in mixed case.
const std::string kExported =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Sklep]\r\n"
    "\"RodzajBazyDanych\"=\"MSSQLServer\"\r\n"
    "; a comment the administrator wrote\r\n"
    "\"Log\"=\"C:\\\\Logi\\\\Sklep.log\"\r\n"
    "@=\"domyślna\"\r\n"
    "\"Flags\"=dword:0000000a\r\n"
    "\"Blob\"=hex:01,02,03,\\\r\n"
    "  04,05\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Setup]\r\n"
    "\"SQLDataRoot\"=\"C:\\\\Program Files\\\\Microsoft SQL Server\\\\MSSQL\"\r\n"
    "\"Path\"=hex(2):25,00,00,00\r\n"
    "\r\n";

const std::vector<std::string> kSklep = {"SOFTWARE", "QUORVEL", "TovinexWin", "Bazy", "Sklep"};

TEST(RegText, ReadsAnExportedStoreAndWritesItBackUnchanged) {
  const TRegDocument Doc = TRegDocument::Parse(kExported, kRoot);
  EXPECT_EQ(Doc.Serialise(), kExported);
  ASSERT_NE(Doc.FindValue(kSklep, "Log"), nullptr);
  EXPECT_EQ(Doc.FindValue(kSklep, "Log")->Text, "C:\\Logi\\Sklep.log");
  EXPECT_EQ(Doc.FindValue(kSklep, "")->Text, "domyślna");
  EXPECT_EQ(Doc.FindValue(kSklep, "Flags")->Type, "dword");
  EXPECT_EQ(Doc.FindValue(kSklep, "Blob")->Type, "hex");
  EXPECT_EQ(Doc.ValueNames(kSklep), (std::vector<std::string>{"RodzajBazyDanych", "Log", "", "Flags", "Blob"}));
  EXPECT_EQ(Doc.FindValue({"software", "MICROSOFT", "mssqlserver", "setup"}, "sqldataroot")->Text,
            "C:\\Program Files\\Microsoft SQL Server\\MSSQL");
}

TEST(RegText, KeysAndValueNamesIgnoreCaseOfPolishLettersToo) {
  TRegDocument Doc(kRoot);
  Doc.SetString({"SOFTWARE", "Łódź"}, "Zażółć", "1");
  EXPECT_TRUE(Doc.KeyExists({"software", "ŁÓDŹ"}));
  EXPECT_TRUE(Doc.KeyExists({"SOFTWARE"}));  // an ancestor of a stored key exists too
  EXPECT_FALSE(Doc.KeyExists({"SOFTWARE", "Lodz"}));
  ASSERT_NE(Doc.FindValue({"Software", "łÓdŹ"}, "ZAŻÓŁĆ"), nullptr);
  Doc.SetString({"software", "ŁÓDŹ"}, "ZAŻÓŁĆ", "2");
  EXPECT_EQ(Doc.ValueNames({"SOFTWARE", "Łódź"}), std::vector<std::string>{"Zażółć"});  // first spelling kept
  EXPECT_EQ(Doc.FindValue({"SOFTWARE", "Łódź"}, "zażółć")->Text, "2");
}

TEST(RegText, ChangingOneValueRewritesOnlyItsLine) {
  TRegDocument Doc = TRegDocument::Parse(kExported, kRoot);
  EXPECT_TRUE(Doc.SetString(kSklep, "LOG", "D:\\\"cytat\"\\x.log"));
  std::string Expected = kExported;
  const std::string Old = "\"Log\"=\"C:\\\\Logi\\\\Sklep.log\"\r\n";
  Expected.replace(Expected.find(Old), Old.size(), "\"Log\"=\"D:\\\\\\\"cytat\\\"\\\\x.log\"\r\n");
  EXPECT_EQ(Doc.Serialise(), Expected);
  EXPECT_FALSE(Doc.SetString(kSklep, "log", "D:\\\"cytat\"\\x.log"));  // same value: no change

  // A binary value overwritten by text becomes a one-line string.
  EXPECT_TRUE(Doc.SetString(kSklep, "Blob", ""));
  EXPECT_NE(Doc.Serialise().find("\"Blob\"=\"\"\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft"), std::string::npos);
}

TEST(RegText, NewValuesAndKeysGoBesideTheirKin) {
  TRegDocument Doc = TRegDocument::Parse(kExported, kRoot);
  Doc.SetString(kSklep, "CTO", "60");
  Doc.SetString({"software", "quorvel", "tovinexwin", "bazy", "Kasa"}, "CTO", "30");
  Doc.SetString({"SOFTWARE", "ODBC"}, "X", "y");
  const std::string Text = Doc.Serialise();
  // The new value follows the key's last value, before the blank line.
  EXPECT_NE(Text.find("  04,05\r\n\"CTO\"=\"60\"\r\n\r\n"), std::string::npos);
  // The new key follows its branch, spelled as the existing ancestors are.
  EXPECT_NE(Text.find("\"CTO\"=\"60\"\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Kasa]\r\n"
                      "\"CTO\"=\"30\"\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft"),
            std::string::npos);
  // A key whose nearest kin is the last branch of the file goes at the end.
  EXPECT_TRUE(Text.ends_with("MSSQL\"\r\n\"Path\"=hex(2):25,00,00,00\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC]\r\n\"X\"=\"y\"\r\n\r\n"));
  EXPECT_EQ(TRegDocument::Parse(Text, kRoot).Serialise(), Text);
}

TEST(RegText, NewStoreAndHandWrittenStoresKeepTheirLineBreaks) {
  TRegDocument Fresh(kRoot);
  Fresh.SetString({"SOFTWARE", "A"}, "", "x");
  EXPECT_EQ(Fresh.Serialise(), "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n@=\"x\"\r\n\r\n");

  // Written on Linux: LF breaks, no break after the last line.
  TRegDocument Lf = TRegDocument::Parse("Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"1\"", kRoot);
  Lf.SetString({"K"}, "b", "2");
  Lf.SetString({"L"}, "c", "3");
  EXPECT_EQ(Lf.Serialise(),
            "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"1\"\n\"b\"=\"2\"\n\n"
            "[HKEY_LOCAL_MACHINE\\L]\n\"c\"=\"3\"\n\n");
}

TEST(RegText, DeletingRemovesEveryLineOfTheValueAndNothingElse) {
  const std::string Text =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\K]\r\n\"Blokada\"=\"0\"\r\n\"Inna\"=\"x\"\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\k]\r\n\"blokada\"=\"1\"\r\n\r\n";
  TRegDocument Doc = TRegDocument::Parse(Text, kRoot);
  // A key given twice reads as regedit imports it: the later line wins.
  EXPECT_EQ(Doc.FindValue({"K"}, "Blokada")->Text, "1");
  EXPECT_TRUE(Doc.DeleteValue({"K"}, "BLOKADA"));
  EXPECT_FALSE(Doc.DeleteValue({"K"}, "BLOKADA"));
  EXPECT_EQ(Doc.FindValue({"K"}, "Blokada"), nullptr);
  EXPECT_EQ(Doc.Serialise(),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\K]\r\n\"Inna\"=\"x\"\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\k]\r\n\r\n");
}

TEST(RegText, DamagedStoresAreRefusedNamingTheLine) {
  const std::string H = "Windows Registry Editor Version 5.00\r\n";
  const std::string K = "[HKEY_LOCAL_MACHINE\\K]\r\n";
  const struct {
    std::string Text;
    int Line;
  } Cases[] = {
      {"REGEDIT4\r\n", 1},
      {std::string("\xFF\xFE", 2) + "W\0i\0", 1},
      {H + K + "\"a\"=\"unterminated\r\n", 3},
      {H + K + "\"a\"=\"C:\\Logi\"\r\n", 3},  // a single backslash
      {H + "\"a\"=\"1\"\r\n", 2},             // a value before any key
      {H + "\r\n[-HKEY_LOCAL_MACHINE\\K]\r\n", 3},
      {H + "[HKEY_CURRENT_USER\\K]\r\n", 2},
      {H + "[HKEY_LOCAL_MACHINE\\K\r\n", 2},
      {H + "[HKEY_LOCAL_MACHINE\\A\\\\B]\r\n", 2},
      {H + K + "\"a\"=-\r\n", 3},
      {H + K + "\"a\"=dword:12\r\n", 3},
      {H + K + "\"a\"=hex:zz\r\n", 3},
      {H + K + "\"a\"=\"1\" trailing\r\n", 3},
      {H + K + "a=\"1\"\r\n", 3},
      {H + K + "\r\n\"b\"=hex:01,\\\r\n", 4},  // continued past the end
  };
  for (const auto& C : Cases) {
    try {
      TRegDocument::Parse(C.Text, kRoot);
      ADD_FAILURE() << "accepted: " << C.Text;
    } catch (const TRegParseError& E) {
      EXPECT_EQ(E.Line, C.Line) << C.Text << " -> " << E.what();
    }
  }
}

}  // namespace
}  // namespace vandrel::platform
