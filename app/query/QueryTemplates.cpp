#include "app/query/QueryTemplates.h"

namespace vandrel::app {

const std::vector<TQueryTemplate>& QueryTemplates() {
  static const std::vector<TQueryTemplate> templates = {
      {"Procesy serwera (sp_who2)", "EXEC sp_who2\n"},
      {"Rozmiary baz (sp_helpdb)", "EXEC sp_helpdb\n"},
      {"Wykorzystanie logów (DBCC SQLPERF)", "DBCC SQLPERF(LOGSPACE)\n"},
      {"Największe tabele",
       "-- Tabele bieżącej bazy według liczby wierszy, z zajętymi stronami (8 KB każda)\n"
       "SELECT o.name AS tabela, i.rows AS wiersze, i.reserved AS strony_zarezerwowane,\n"
       "       i.used AS strony_uzyte, i.reserved * 8 AS kb\n"
       "FROM sysindexes i JOIN sysobjects o ON o.id = i.id\n"
       "WHERE i.indid IN (0, 1) AND o.type = 'U'\n"
       "ORDER BY i.rows DESC\n"},
      {"Ostatnie kopie zapasowe",
       "-- Ostatnia kopia każdej bazy: D pełna, I różnicowa, L logu\n"
       "SELECT d.name AS baza, b.type AS rodzaj, MAX(b.backup_finish_date) AS ostatnia_kopia\n"
       "FROM master..sysdatabases d\n"
       "LEFT JOIN msdb..backupset b ON b.database_name = d.name\n"
       "GROUP BY d.name, b.type\n"
       "ORDER BY d.name\n"},
      {"Osieroceni użytkownicy", "EXEC sp_change_users_login 'Report'\n"},
      {"Blokady (sp_lock)", "EXEC sp_lock\n"},
  };
  return templates;
}

}  // namespace vandrel::app
