#include "app/ConnectionString.h"

#include <gtest/gtest.h>

#include <random>

using namespace vandrel::app;

TEST(BuildConnectionString, DefaultsGiveLocalWithoutAddress) {
  EXPECT_EQ(BuildConnectionString({}),
            "DRIVER=SQL Server;SERVER={(local)};UID={sa};PWD={};APP={Vandrel};DATABASE={master};"
            "LANGUAGE=Polish;Network=DBMSSOCN;");
}

TEST(BuildConnectionString, AddressPartAndNetworkLibrary) {
  ConnectionFields f;
  f.Server = "(LOCAL)";
  EXPECT_EQ(BuildConnectionString(f).find("Address="), std::string::npos);
  f.Server = ".";
  EXPECT_NE(BuildConnectionString(f).find(";Network=DBMSSOCN;Address={.};"), std::string::npos);
  f.Server = "KASA1\\TOVINEX";
  EXPECT_TRUE(BuildConnectionString(f).ends_with("Network=DBMSSOCN;Address={KASA1\\TOVINEX};"));
  f.Server = "HOST";
  f.Library = "Named Pipes";
  EXPECT_TRUE(BuildConnectionString(f).ends_with("Network=DBNMPNTW;Address={HOST};"));
  f.Library = "named pipes";  // any other text means TCP/IP
  EXPECT_TRUE(BuildConnectionString(f).ends_with("Network=DBMSSOCN;Address={HOST};"));
}

// A typed value stays one value: it can neither end its part nor add a key of its own.
TEST(BuildConnectionString, TypedValuesAreBracedAndReadBackWhole) {
  ConnectionFields f;
  f.Server = "(local);APP=Kasa Sklep";
  f.User = " tester2 ";
  f.Password = "zle;UID=sa;PWD=";
  const std::string s = BuildConnectionString(f);
  EXPECT_NE(s.find(";UID={ tester2 };PWD={zle;UID=sa;PWD=};APP={Vandrel};"), std::string::npos) << s;
  EXPECT_EQ(DriverKeyValue(s, "UID"), " tester2 ");
  EXPECT_EQ(DriverKeyValue(s, "pwd"), "zle;UID=sa;PWD=");
  EXPECT_EQ(DriverKeyValue(s, "APP"), "Vandrel");
  EXPECT_EQ(ConnectionStringValue(s, "SERVER"), "(local);APP=Kasa Sklep");
  // The driver's reading of braces: a "}" ends the value only before ";" or the end.
  EXPECT_EQ(BraceConnectionValue("a}b"), "{a}b}");
  EXPECT_EQ(DriverKeyValue("PWD={a}b};UID=x", "PWD"), "a}b");
  EXPECT_EQ(DriverKeyValue("PWD={a}};UID=x", "PWD"), "a}");
  EXPECT_EQ(DriverKeyValue("PWD={a}}b}", "PWD"), "a}}b");
  EXPECT_EQ(DriverKeyValue("PWD={a;UID=sa};X=1", "UID"), "") << "a key inside a braced value is no key";
}

TEST(BuildConnectionString, WhatTheDriverCannotTakeIsRefusedBeforeItIsBuilt) {
  ConnectionFields f;
  EXPECT_EQ(ConnectionFieldsProblem(f), "");
  f.Password = "a;b=c {x}";
  EXPECT_EQ(ConnectionFieldsProblem(f), "");
  f.Password = "a};b";
  EXPECT_EQ(ConnectionFieldsProblem(f), "Sterownik ODBC nie przyjmuje znaków \"};\" obok siebie w polu \"Hasło\".");
  f.Password = "a;b=c";
  EXPECT_EQ(ConnectionFieldsProblem(f), "");
  for (const char* server : {"(local);APP=Kasa Sklep", "127.0.0.1;UID=sa", "KASA 1", "a{b", "a\nb", "a=b"})
    EXPECT_NE(ServerNameProblem(server), "") << server;
  for (const char* server : {"(local)", ".", "KASA1\\TOVINEX", "127.0.0.1,14331", "kasa-1.sklep.pl", ""})
    EXPECT_EQ(ServerNameProblem(server), "") << server;
}

TEST(ConnectionStringValue, FindsFirstOccurrenceAnywhere) {
  const std::string s = "DRIVER=SQL Server;SERVER=kasa;UID=sa;WSID=KASA1;APP=x";
  EXPECT_EQ(ConnectionStringValue(s, "SERVER"), "kasa");
  EXPECT_EQ(ConnectionStringValue(s, "WSID"), "KASA1");
  EXPECT_EQ(ConnectionStringValue(s, "APP"), "x");
  EXPECT_EQ(ConnectionStringValue(s, "DATABASE"), "");
  EXPECT_EQ(ConnectionStringValue(s, "server"), "");  // case-sensitive
  EXPECT_EQ(ConnectionStringValue("XSERVER=a;SERVER=b", "SERVER"), "a");  // inside a longer key
  EXPECT_EQ(ConnectionStringValue("UID", "UID"), "");
}

TEST(AdaptConnectionString, WindowsNamesBecomeLoopback) {
  const std::string utf8 = "ClientCharset=UTF-8;";
  EXPECT_EQ(AdaptConnectionStringForDriver("DRIVER=SQL Server;SERVER=(local);UID=sa;", ""),
            "DRIVER=SQL Server;SERVER=127.0.0.1;UID=sa;" + utf8);
  EXPECT_EQ(AdaptConnectionStringForDriver("SERVER=.\\SQLEXPRESS;UID=sa", ""),
            "SERVER=127.0.0.1\\SQLEXPRESS;UID=sa;" + utf8);
  EXPECT_EQ(AdaptConnectionStringForDriver("SERVER=kasa1;UID=sa;", ""), "SERVER=kasa1;UID=sa;" + utf8);
  // Address= is not the server key.
  EXPECT_EQ(AdaptConnectionStringForDriver("X=1;Address=.;SERVER=.", ""),
            "X=1;Address=.;SERVER=127.0.0.1;" + utf8);
  EXPECT_EQ(AdaptConnectionStringForDriver("DRIVER=x", "1500"), "DRIVER=x");
  EXPECT_EQ(AdaptConnectionStringForDriver("SERVER=a;clientcharset=CP1250;", ""), "SERVER=a;clientcharset=CP1250;");
  // A braced server stays braced; a server key inside another value is not the server.
  EXPECT_EQ(AdaptConnectionStringForDriver("PWD={;SERVER=.};SERVER={(local)};", "1500"),
            "PWD={;SERVER=.};SERVER={127.0.0.1,1500};" + utf8);
}

// This machine's port goes to "(local)" and "." alone; a typed port, an instance, another host
// and the dialog's fixed port keep theirs.
TEST(AdaptConnectionString, OnlyTheLocalServerTakesThisMachinesPort) {
  const std::string utf8 = "ClientCharset=UTF-8;";
  EXPECT_EQ(AdaptConnectionStringForDriver("SERVER=(local);", "", false, "1500"), "SERVER=127.0.0.1,1500;" + utf8);
  EXPECT_EQ(AdaptConnectionStringForDriver("SERVER=.;", "", false, "1500"), "SERVER=127.0.0.1,1500;" + utf8);
  EXPECT_EQ(AdaptConnectionStringForDriver("SERVER=127.0.0.1,2000;", "", false, "1500"),
            "SERVER=127.0.0.1,2000;" + utf8);
  EXPECT_EQ(AdaptConnectionStringForDriver("SERVER=kasa1;", "", false, "1500"), "SERVER=kasa1;" + utf8);
  EXPECT_EQ(AdaptConnectionStringForDriver("SERVER=.\\SQLEXPRESS;", "", false, "1500"),
            "SERVER=127.0.0.1\\SQLEXPRESS;" + utf8);
  EXPECT_EQ(AdaptConnectionStringForDriver("SERVER=(local);", "1433", false, "1500"), "SERVER=127.0.0.1,1433;" + utf8);
}

TEST(AdaptConnectionString, ADataSourceIsToldUtf8UnlessItNamesACharacterSet) {
  EXPECT_EQ(AdaptConnectionStringForDriver("DSN=sklep;UID=sa;PWD=;", ""), "DSN=sklep;UID=sa;PWD=;ClientCharset=UTF-8;");
  EXPECT_EQ(AdaptConnectionStringForDriver("DSN=sklep;UID=sa", "", true), "DSN=sklep;UID=sa");
  EXPECT_EQ(AdaptConnectionStringForDriver("DSN=sklep;ClientCharset=ISO-8859-2", ""), "DSN=sklep;ClientCharset=ISO-8859-2");
  EXPECT_EQ(DriverKeyValue("dsn=a b;UID=sa", "DSN"), "a b");
  EXPECT_EQ(DriverKeyValue("XDSN=a;UID=sa", "DSN"), "");
}

TEST(AdaptConnectionString, FixedPortReachesTheDriver) {
  const std::string utf8 = ";ClientCharset=UTF-8;";
  EXPECT_EQ(AdaptConnectionStringForDriver("SERVER=(local);UID=sa", "14331"),
            "SERVER=127.0.0.1,14331;UID=sa" + utf8);
  EXPECT_EQ(AdaptConnectionStringForDriver("SERVER=kasa;UID=sa", "0"), "SERVER=kasa;UID=sa" + utf8);
  EXPECT_EQ(AdaptConnectionStringForDriver("SERVER=kasa\\I;UID=sa", "1500"), "SERVER=kasa\\I;UID=sa" + utf8);
  EXPECT_EQ(AdaptConnectionStringForDriver("SERVER=kasa,1600;UID=sa", "1500"),
            "SERVER=kasa,1600;UID=sa" + utf8);
}

// Random fields from the characters a connection string gives a meaning to, and random
// damage to whole strings, with a fixed seed: a value the dialog accepts is read back by the
// driver's rules exactly as typed, and no string, however damaged, upsets the readers.
TEST(ConnectionStringMutation, AcceptedFieldsReadBackWholeAndDamagedStringsReadSafely) {
  std::mt19937 random(285);
  const std::string alphabet("ab;=}{ \\,.()\x00\xc5\x82SERVERUIDPWD", 27);
  auto field = [&] {
    std::string text;
    const int length = std::uniform_int_distribution<int>(0, 12)(random);
    for (int i = 0; i < length; ++i)
      text += alphabet[std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(random)];
    return text;
  };
  int accepted = 0;
  for (int round = 0; round < 3000; ++round) {
    ConnectionFields f;
    f.Server = field();
    f.User = field();
    f.Password = field();
    if (!ConnectionFieldsProblem(f).empty()) continue;
    ++accepted;
    const std::string s = BuildConnectionString(f);
    EXPECT_EQ(ConnectionStringValue(s, "SERVER"), f.Server) << s;
    EXPECT_EQ(DriverKeyValue(s, "UID"), f.User) << s;
    EXPECT_EQ(DriverKeyValue(s, "PWD"), f.Password) << s;
    EXPECT_EQ(DriverKeyValue(s, "APP"), "Vandrel") << s;
    const std::string adapted = AdaptConnectionStringForDriver(s, "1500");
    EXPECT_EQ(DriverKeyValue(adapted, "PWD"), f.Password) << adapted;
    EXPECT_EQ(DriverKeyValue(adapted, "UID"), f.User) << adapted;
  }
  EXPECT_GT(accepted, 300);

  const std::string sample = "DRIVER=SQL Server;SERVER={(local)};UID={sa};PWD={a;b}};APP={Vandrel};WSID=K1;DSN=x";
  for (int round = 0; round < 3000; ++round) {
    std::string s = sample;
    for (int d = 0; d < 3 && !s.empty(); ++d) {
      const size_t at = std::uniform_int_distribution<size_t>(0, s.size() - 1)(random);
      if (random() % 2) s[at] = alphabet[random() % alphabet.size()];
      else s.erase(at, 1 + random() % 5);
    }
    for (const char* key : {"SERVER", "UID", "PWD", "APP", "WSID", "DSN", ""}) {
      ConnectionStringValue(s, key);
      DriverKeyValue(s, key);
    }
    const std::string adapted = AdaptConnectionStringForDriver(s, "1500");
    EXPECT_EQ(DriverKeyValue(adapted, "PWD"), DriverKeyValue(s, "PWD")) << s;
  }
}
