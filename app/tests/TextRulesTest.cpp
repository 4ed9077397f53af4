// The small text rules of the main window: quoting, node kinds, error text, version form.
#include <gtest/gtest.h>

#include "app/ConnectFailure.h"
#include "app/ErrorText.h"
#include "app/NodeKinds.h"
#include "app/SqlQuoting.h"
#include "app/VersionText.h"

using namespace vandrel::app;

TEST(SqlQuoting, RegularNamesStayAsTheyAre) {
  for (const char* name : {"Sklep", "_x", "a1_$#@", "Sklep_Wschód", "Żabka", "Łódź_Centrum", "Αθήνα"})
    EXPECT_EQ(QuoteIdentifier(name), name) << name;
}

// A name that would be a variable or a temporary object, or that holds a character that is no
// letter although it lies above ASCII, goes in brackets.
TEST(SqlQuoting, VariablesTemporariesAndNonLettersAreBracketed) {
  for (const char* name : {"@Sklep", "#Sklep", "##Sklep", "Łódź–Centrum", "Sklep\u00a0Nowy", "Sklep€", "Sklep\U0001F600",
                           "Sklep\xff"})
    EXPECT_EQ(QuoteIdentifier(name), std::string("[") + name + "]") << name;
  for (const char* name : {"Pivot", "UNPIVOT", "revert", "TableSample", "External", "SecurityAudit"})
    EXPECT_EQ(QuoteIdentifier(name), std::string("[") + name + "]") << name;
}

TEST(SqlQuoting, ReservedWordsAreBracketedInAnyCase) {
  for (const char* name : {"Order", "USER", "index", "Key", "Full", "Select"})
    EXPECT_EQ(QuoteIdentifier(name), std::string("[") + name + "]") << name;
  for (const char* name : {"Orders", "Users", "Keys", "Sklep", "dbo", "Towary"})
    EXPECT_EQ(QuoteIdentifier(name), name) << name;
}

TEST(SqlQuoting, OtherNamesAreBracketed) {
  EXPECT_EQ(QuoteIdentifier("Moje sklepy"), "[Moje sklepy]");
  EXPECT_EQ(QuoteIdentifier("1sklep"), "[1sklep]");
  EXPECT_EQ(QuoteIdentifier("a]b"), "[a]]b]");
  EXPECT_EQ(QuoteIdentifier("a'b"), "[a'b]");
  EXPECT_EQ(QuoteIdentifier(""), "[]");
  EXPECT_EQ(QuoteIdentifier("$x"), "[$x]");
}

TEST(SqlQuoting, LiteralsDoubleTheirQuote) {
  EXPECT_EQ(EscapeLiteral("O'Brien"), "O''Brien");
  EXPECT_EQ(EscapeLiteral("''"), "''''");
  EXPECT_EQ(EscapeDoubleQuoted("a\"b"), "a\"\"b");
  EXPECT_EQ(EscapeDoubleQuoted("a'b"), "a'b");
}

TEST(NodeKinds, StatusImage) {
  EXPECT_EQ(StatusImage(""), nkDatabase);
  EXPECT_EQ(StatusImage("16"), nkDatabase);
  EXPECT_EQ(StatusImage("512"), nkDatabaseOffline);
  EXPECT_EQ(StatusImage("256"), nkDatabaseDamaged);
  EXPECT_EQ(StatusImage("768"), nkDatabaseDamaged);  // both bits: damaged wins
  EXPECT_EQ(StatusImage("4194841"), nkDatabaseOffline);
}

// A database keeps its identity whatever its state; parts cannot run into each other.
TEST(NodeKinds, IdentityKeyAndServerName) {
  TNodeIdentity online{nkDatabase, "Sklep (Offline) stara", "", "", ""}, offline = online;
  offline.Kind = nkDatabaseOffline;
  EXPECT_EQ(online.Key(), offline.Key());
  TNodeIdentity other{nkDatabase, "Sklep", "", "", ""};
  EXPECT_NE(online.Key(), other.Key());
  TNodeIdentity t1{nkTable, "a", "b.c", "d", ""}, t2{nkTable, "a", "b", "c.d", ""};
  EXPECT_NE(t1.Key(), t2.Key());
  TNodeIdentity folder{nkTablesFolder, "Sklep", "", "", ""};
  EXPECT_NE(folder.Key(), other.Key());
  EXPECT_EQ(ComposeServerName("KASA", ""), "KASA");
  EXPECT_EQ(ComposeServerName("KASA", "TOVINEX"), "KASA\\TOVINEX");
  EXPECT_EQ(ComposeServerName("KASA\\TOVINEX", "TOVINEX"), "KASA\\TOVINEX");
  EXPECT_TRUE(IsSystemDatabase("tempdb"));
  EXPECT_FALSE(IsSystemDatabase("Master"));
}

TEST(ErrorText, ObjectIdsBecomeNames) {
  auto lookup = [](const std::string& id) { return id == "1977058079" ? "Towary" : ""; };
  EXPECT_EQ(RewriteObjectIds("Table error: Object ID 1977058079, index ID 0.", lookup),
            "Table error: Obiekt: \"Towary\" , index ID 0.");
  EXPECT_EQ(RewriteObjectIds("Object ID 5 and Object ID 1977058079.", lookup),
            "Obiekt: \"\" and Obiekt: \"Towary\" .");
  EXPECT_EQ(RewriteObjectIds("Object ID none, Object ID 7", nullptr),
            "Object ID none, Obiekt: \"7\" ");
  EXPECT_EQ(RewriteObjectIds("no ids", lookup), "no ids");
}

TEST(ErrorText, TranslatesOnlyTheDropMessage) {
  EXPECT_EQ(TranslateKnownMessage("x Cannot drop the database 'a' because it does not exist."),
            "Nie można usunąć bazy. Podana baza nie istnieje");
  EXPECT_EQ(TranslateKnownMessage("Cannot drop the database 'a'"), "Cannot drop the database 'a'");
}

TEST(ErrorText, PolishCountsTakeTheirForm) {
  const std::pair<long long, const char*> cases[] = {{0, "0 błędów"},   {1, "1 błąd"},     {2, "2 błędy"},
                                                     {4, "4 błędy"},    {5, "5 błędów"},   {12, "12 błędów"},
                                                     {14, "14 błędów"}, {22, "22 błędy"},  {111, "111 błędów"},
                                                     {112, "112 błędów"}, {124, "124 błędy"}};
  for (const auto& [n, text] : cases) EXPECT_EQ(PolishCount(n, "błąd", "błędy", "błędów"), text);
}

TEST(ErrorText, SummaryNamesTheFirstErrorAndCountsTheRecords) {
  const std::string report =
      "Błąd zapytania SQL:\r\nselect *\r\nfrom [Towary]\r\n[MODBC/416] Wystąpił błąd\r\nBłąd wykonania zapytania SQL\r\n"
      "[MODBCDRV/5701] Informacja\r\n[01000] [FreeTDS][SQL Server]Changed database context to 'Sklep'.\r\n"
      "[MODBCDRV/208] Błąd\r\n[42S02] [FreeTDS][SQL Server]Invalid object name 'Towary'.\r\n";
  EXPECT_EQ(ReportSummary(report),
            "Zapytanie SQL nie zostało wykonane.\nPrzyczyna: Invalid object name 'Towary'.\n"
            "Serwer przysłał 2 komunikaty, w tym 1 błąd; pełny tekst poniżej.");
  // Without records of the driver the library's own topic is the reason; a translated text is its own summary.
  EXPECT_EQ(ReportSummary("Błąd polecenia SQL:\r\nuse x\r\n[DT/391] Link nie jest połączony\r\nopis\r\n"),
            "Polecenie SQL nie zostało wykonane.\nPrzyczyna: Link nie jest połączony");
  // A refusal for lack of rights says what the login would need.
  EXPECT_EQ(ReportSummary("Błąd polecenia SQL:\r\nALTER DATABASE [Sklep] SET OFFLINE\r\n[MODBC/412] Wystąpił błąd\r\nopis\r\n"
                          "[MODBCDRV/5011] Błąd\r\n[42000] [FreeTDS][SQL Server]User does not have permission to alter "
                          "database 'Sklep'.\r\n"),
            "Polecenie SQL nie zostało wykonane.\nPrzyczyna: User does not have permission to alter database 'Sklep'.\n"
            "Ten login nie ma do tego uprawnień: wymaga uprawnień sysadmin, dbcreator lub db_owner bazy.");
  EXPECT_EQ(ReportSummary("Nie można usunąć bazy. Podana baza nie istnieje"), "Nie można usunąć bazy. Podana baza nie istnieje");
}

TEST(VersionText, DisplayForm) {
  EXPECT_EQ(FormatVersionString("3.5.0.12"), "3.05 _ 12");
  EXPECT_EQ(FormatVersionString("3.5.2.0"), "3.05 B");
  EXPECT_EQ(FormatVersionString("3.5.0.0"), "3.05");
  EXPECT_EQ(FormatVersionString(" 1 . 0 . 0 . 1"), "1.00 _ 01");
  EXPECT_EQ(FormatVersionString("3"), "3");
  EXPECT_EQ(FormatVersionString(""), "");
  EXPECT_EQ(FormatVersionString("x.5"), "");
}

// The state the tree shows is the server's report: the database's own state before who may
// use it, and the status word only where the server gave no properties.
TEST(NodeKinds, ADatabasesKindIsItsReportedStateInOrder) {
  const auto kind = [](std::string Bits, std::string Status, std::string Access, std::string Update,
                       std::string Enter) {
    return DatabaseKind({std::move(Bits), std::move(Status), std::move(Access), std::move(Update), std::move(Enter)});
  };
  EXPECT_EQ(kind("24", "ONLINE", "MULTI_USER", "READ_WRITE", "1"), nkDatabase);
  EXPECT_EQ(kind("24", "ONLINE", "MULTI_USER", "READ_WRITE", "0"), nkDatabaseNoAccess);
  EXPECT_EQ(kind("1048", "ONLINE", "MULTI_USER", "READ_ONLY", "0"), nkDatabaseNoAccess) << "no entry says more";
  EXPECT_EQ(kind("4120", "ONLINE", "SINGLE_USER", "READ_WRITE", "0"), nkDatabaseSingleUser) << "held by another";
  EXPECT_EQ(kind("1048", "ONLINE", "MULTI_USER", "READ_ONLY", "1"), nkDatabaseReadOnly);
  EXPECT_EQ(kind("1560", "OFFLINE", "MULTI_USER", "READ_ONLY", "0"), nkDatabaseOffline);
  EXPECT_EQ(kind("280", "SUSPECT", "MULTI_USER", "READ_WRITE", "0"), nkDatabaseDamaged);
  EXPECT_EQ(kind("792", "OFFLINE", "MULTI_USER", "READ_WRITE", "0"), nkDatabaseDamaged) << "both bits: damaged";
  EXPECT_EQ(kind("56", "RESTORING", "MULTI_USER", "READ_WRITE", "0"), nkDatabaseRestoring);
  EXPECT_EQ(kind("152", "RECOVERING", "MULTI_USER", "READ_WRITE", "0"), nkDatabaseRestoring);
  EXPECT_EQ(kind("33048", "EMERGENCY", "SINGLE_USER", "READ_ONLY", "1"), nkDatabaseEmergency);
  // Without the properties: the status word's bits.
  EXPECT_EQ(kind("4194328", "", "", "", ""), nkDatabase);
  EXPECT_EQ(kind("1048", "", "", "", ""), nkDatabaseReadOnly);
  EXPECT_EQ(kind("5144", "", "", "", ""), nkDatabaseSingleUser);
  EXPECT_EQ(kind("x", "", "", "", ""), nkDatabase);
  EXPECT_EQ(DatabaseMarks({"5144", "", "", "", ""}), dmReadOnly | dmSingleUser);
  EXPECT_EQ(DatabaseMarks({"24", "ONLINE", "SINGLE_USER", "READ_ONLY", "1"}), dmReadOnly | dmSingleUser);
  EXPECT_EQ(DatabaseMarks({"5144", "ONLINE", "MULTI_USER", "READ_WRITE", "1"}), dmNone) << "the report wins";
  // Folders only for a usable database the login may enter now.
  EXPECT_TRUE(MayOpenDatabase({"24", "ONLINE", "MULTI_USER", "READ_ONLY", "1"}));
  EXPECT_FALSE(MayOpenDatabase({"4120", "ONLINE", "SINGLE_USER", "READ_WRITE", "0"}));
  EXPECT_FALSE(MayOpenDatabase({"33048", "EMERGENCY", "SINGLE_USER", "READ_ONLY", "1"}));
}

// The records as FreeTDS and the driver manager give them for the failures users meet.
TEST(ConnectFailure, TellsTheCommonFailuresApart) {
  const auto reason = [](std::vector<TDriverRecord> r) { return ConnectFailureReason(r); };
  const std::string refused = reason({{"28000", 18456, "Login failed for user 'sa'."}});
  EXPECT_EQ(refused.rfind("Serwer odrzucił logowanie", 0), 0u) << refused;
  EXPECT_NE(refused.find("Sterownik: [28000/18456] Login failed for user 'sa'."), std::string::npos);
  // Unknown host and an unreachable port share SQLSTATE 08001; the texts tell them apart.
  const std::string host = reason({{"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"},
                                   {"HY000", 20013, "Unknown host machine name."}});
  EXPECT_EQ(host.rfind("Nie znaleziono komputera", 0), 0u) << host;
  const std::string port = reason({{"08001", 20009, "Unable to connect: Adaptive Server is unavailable or does not exist"}});
  EXPECT_EQ(port.rfind("Serwer nie odpowiada", 0), 0u) << port;
  EXPECT_EQ(reason({{"HYT00", 0, "Login timeout expired"}}).rfind("Serwer nie odpowiedział w wyznaczonym czasie", 0), 0u);
  EXPECT_EQ(reason({{"IM002", 0, "Data source name not found"}}).rfind("Nie znaleziono sterownika", 0), 0u);
}

TEST(ConnectFailure, AnUnknownRecordIsShownAsTheDriverGaveIt) {
  EXPECT_EQ(ConnectFailureReason({}), "");
  EXPECT_EQ(ConnectFailureReason({{"42000", 5701, "Changed database context to 'master'."}}),
            "Sterownik: [42000/5701] Changed database context to 'master'.");
}
