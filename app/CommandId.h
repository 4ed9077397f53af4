#pragma once
// The identifiers of the main window's commands. A command is known by its identifier
// everywhere in code (the table, the enabling, the tool bar, RunCommand, the tests); its menu
// text is only its label, so a misspelt name does not compile instead of silently doing
// nothing. A new command adds one identifier here, in its menu's group, and one table entry.
namespace vandrel::app {

enum class TCommandId {
  // Bazy, and the tree's pop-up menu.
  cmRefreshDatabases,     // "Odśwież listę baz     F5"
  cmConnect,              // "Połącz z serwerem..."
  cmAttach,               // "Podłącz bazę"
  cmDetach,               // "Odłącz bazę"
  cmBackup,               // "Kopia zapasowa bazy..."
  cmRestore,              // "Odtwórz bazę z kopii..."
  cmBackupHistory,        // "Historia kopii"
  cmBackupSchedule,       // "Harmonogram kopii..."
  cmRepairMenu,           // "Naprawa baz danych", the submenu
  cmCheck,                // "Sprawdź spójność bazy"
  cmRepairFast,           // "Naprawa Fast"
  cmRepairRebuild,        // "Naprawa Rebuild"
  cmRepairFull,           // "Naprawa Full"
  cmTakeOffline,          // "Wyłącz bazę"
  cmBringOnline,          // "Włącz bazę"
  cmSetReadOnly,          // "Ustaw bazę w trybie tylko do odczytu"
  cmClearReadOnly,        // "Wyłącz tryb tylko do odczytu"
  cmChangeTableOwner,     // "Zmień właściciela tabel"
  cmShrinkDatabase,       // "Zmniejsz bazę"
  cmDatabaseOptions,      // "Parametry bazy"
  // Konfiguracja.
  cmServerNetwork,        // "Biblioteki komunikacyjne serwera"
  cmClientNetwork,        // "Biblioteki komunikacyjne klienta"
  cmServiceManager,       // "Uruchom Service Manager"
  cmOdbcSources,          // "Konfiguracja połączeń ODBC"
  cmTovinexDatabases,     // "Konfiguracja baz Tovinex"
  cmHideSystemDatabases,  // "Nie wyświetlaj bazy systemowych"
  cmShowColumnStructure,  // "Wyświetlanie kolumn - struktura danych"
  cmShowTableContents,    // "Wyświetlanie kolumn - zawartość"
  // Narzędzia.
  cmSingleUser,           // "Ustaw bazę w tryb "Single User""
  cmMultiUser,            // "Wyłącz tryb "Single User""
  cmTovinexConnection,    // "Utwórz połączenie sieciowe Tovinex"
  cmProcesses,            // "Procesy"
  cmServerConfig,         // "Konfiguracja serwera bazy danych"
  cmResourceMeter,        // "Miernik zasobów"
  cmServerHealth,         // "Stan serwera"
  cmNewQuery,             // "Nowe zapytanie"
  // Pomoc and the bar itself.
  cmEngineInfo,           // "SQL Server Engine Info"
  cmAbout,                // "O programie..."
  cmClose,                // "Zamknij"
  // The detail list's pop-up menu.
  cmKillProcess,          // "Zabij proces"
  cmSessionLastBatch,     // "Pokaż ostatnie polecenie"
  cmSessionLocks,         // "Blokady"
  cmCopy,                 // "Kopiuj"
  cmCopyWithHeader,       // "Kopiuj z nagłówkiem"
  cmSaveCsv,              // "Zapisz jako CSV..."
};

}  // namespace vandrel::app
