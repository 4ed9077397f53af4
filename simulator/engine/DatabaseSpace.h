#pragma once
// The space a database takes: the pages of its files, the pages its rows fill, and the
// texts in which sp_helpdb, sp_spaceused and DBCC SQLPERF write sizes.
#include <cstdint>
#include <string>

#include "engine/Model.h"

namespace msde {

// Pages the rows of a table fill (at least one), and the pages its index takes.
int64_t TableDataPages(const Table& table);
int64_t TableIndexPages(const Table& table);
// Pages of the data files and of the log files, as sized.
int64_t DataFilePages(const Database& db);
int64_t LogFilePages(const Database& db);
// Pages in use: what a file's "used" says, or for data the system pages and the tables,
// for the log a part of its size; never more than the files hold.
int64_t UsedDataPages(const Database& db);
int64_t UsedLogPages(const Database& db);
// "12.50 MB" and "1234 KB", as the procedures write sizes.
std::string MegabytesText(int64_t pages);
std::string KilobytesText(int64_t pages);

}  // namespace msde
