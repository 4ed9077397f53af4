#pragma once
// The tables a FROM clause can name: the system tables, built from the model when a query
// reads them, and the user tables of a database.
#include <functional>
#include <string>
#include <vector>

#include "engine/Statements.h"

namespace msde {

struct RowSource {
  std::string name;  // as written, for messages and column prefixes
  std::vector<ColumnInfo> columns;
  std::vector<Row> owned;                  // rows a system table builds
  const std::vector<Row>* table = nullptr;  // a user table's rows, read in place
  const std::vector<Row>& Rows() const { return table != nullptr ? *table : owned; }
};

using SystemTableBuilder = std::function<void(Context&, Database&, RowSource&)>;

// Adds a system table. master_only: it exists only in master (sysdatabases, syslogins, ...),
// and names it elsewhere fail with 208.
struct SystemTableRegistration {
  SystemTableRegistration(const char* name, bool master_only, SystemTableBuilder builder);
  // A table of one database only (msdb's backupset).
  SystemTableRegistration(const char* name, const char* only_in, SystemTableBuilder builder);
};

// The catalogue procedures' @table_qualifier must name the current database (15250).
void CheckTableQualifier(Context& ctx, const ProcArgs& args);

// Whether `name` is a system table (sysdatabases, sysobjects, ...).
bool IsSystemTableName(const std::string& name);

// The table named by [db.][owner.]name: a system table or a user table. 208 "Invalid
// object name" when there is none; 911 and the entry checks for another database.
RowSource OpenTable(Context& ctx, const std::vector<std::string>& parts);

// Helpers for builders: a column description, and text padded as nchar(n) columns hold it.
ColumnInfo Column(const char* name, SqlType type, int length = 0, bool nullable = true);
std::string Padded(const std::string& text, size_t chars);
// A varbinary(n) column, or binary(n) when fixed; its values are the raw bytes.
ColumnInfo BinaryColumn(const char* name, int bytes, bool fixed = false);
// sysaltfiles/sysfiles.status: a disk file, 0x40 a log, 0x100000 growth in percent.
int64_t FileStatus(const DbFile& file);

}  // namespace msde
