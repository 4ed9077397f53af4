#include "engine/DatabaseSpace.h"

#include <algorithm>
#include <cstdio>

#include "engine/TypeNames.h"

namespace msde {
namespace {

constexpr int64_t kRowBytesPerPage = 8060;
constexpr int64_t kSystemPages = 80;  // the system tables of an empty database

int64_t RowBytes(const Table& table) {
  int64_t bytes = 9;  // row header and null bitmap
  for (const ColumnInfo& c : table.columns) bytes += StorageLength(c);
  return bytes;
}

int64_t FilesPages(const Database& db, bool log) {
  int64_t pages = 0;
  for (const DbFile& f : db.files)
    if (f.is_log() == log) pages += f.size;
  return pages;
}

// The files' own "used" figures, or -1 when one of them leaves it to be derived.
int64_t GivenUse(const Database& db, bool log) {
  int64_t pages = 0;
  for (const DbFile& f : db.files) {
    if (f.is_log() != log) continue;
    if (f.used < 0) return -1;
    pages += f.used;
  }
  return pages;
}

}  // namespace

int64_t TableDataPages(const Table& table) {
  const int64_t bytes = RowBytes(table) * static_cast<int64_t>(table.rows.size());
  return std::max<int64_t>(1, (bytes + kRowBytesPerPage - 1) / kRowBytesPerPage);
}

int64_t TableIndexPages(const Table& table) { return table.primary_key.empty() ? 0 : 2; }

int64_t DataFilePages(const Database& db) { return FilesPages(db, false); }
int64_t LogFilePages(const Database& db) { return FilesPages(db, true); }

int64_t UsedDataPages(const Database& db) {
  const int64_t given = GivenUse(db, false);
  if (given >= 0) return given;
  int64_t pages = kSystemPages;
  for (const Table& t : db.tables) pages += TableDataPages(t) + TableIndexPages(t);
  return std::min(pages, DataFilePages(db));
}

int64_t UsedLogPages(const Database& db) {
  const int64_t given = GivenUse(db, true);
  if (given >= 0) return given;
  return LogFilePages(db) * 3 / 10;
}

std::string MegabytesText(int64_t pages) {
  char text[40];
  std::snprintf(text, sizeof text, "%.2f MB", static_cast<double>(pages) * 8192.0 / 1048576.0);
  return text;
}

std::string KilobytesText(int64_t pages) { return std::to_string(pages * 8) + " KB"; }

}  // namespace msde
