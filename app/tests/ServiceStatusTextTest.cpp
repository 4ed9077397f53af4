// The service manager's status in Polish: the summary's headings and states, never the log.
#include <gtest/gtest.h>

#include "app/ServiceStatusText.h"

using vandrel::app::PolishServiceStatus;

TEST(ServiceStatusText, TheSummaryReadsPolishAndTheLogStaysAsWritten) {
  const std::string status =
      "● mssql-server.service - Microsoft SQL Server Database Engine\n"
      "     Loaded: loaded (/lib/systemd/system/mssql-server.service; enabled; vendor preset: enabled)\n"
      "     Active: active (running) since Wed 2026-12-09 10:00:00 UTC; 4h ago\n"
      "   Main PID: 812 (sqlservr)\n"
      "     Memory: 700.0M\n"
      "\n"
      "Dec 09 10:00:00 host sqlservr[812]: Active: loaded since enabled\n";
  EXPECT_EQ(PolishServiceStatus(status),
            "● mssql-server.service - Microsoft SQL Server Database Engine\n"
            "     Wczytanie: wczytana (/lib/systemd/system/mssql-server.service; włączona przy starcie; domyślnie: "
            "włączona przy starcie)\n"
            "     Stan: aktywna (działa) od Wed 2026-12-09 10:00:00 UTC; 4h temu\n"
            "   Główny PID: 812 (sqlservr)\n"
            "     Pamięć: 700.0M\n"
            "\n"
            "Dec 09 10:00:00 host sqlservr[812]: Active: loaded since enabled\n");
  EXPECT_EQ(PolishServiceStatus("Unit mssql-server.service could not be found.\n"),
            "Nie znaleziono usługi mssql-server.service.\n");
  EXPECT_EQ(PolishServiceStatus("     Active: inactive (dead)\n"), "     Stan: nieaktywna (zatrzymana)\n");
}
