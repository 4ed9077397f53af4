#pragma once
// A damaged page met when a statement reads a table: a damage mark of an I/O error (823 on
// SQL Server 2000, 824 on 2005) on a page of the table's data ends the statement with that
// error, and the server writes it to its error log, as a torn page read does.
#include "engine/Statements.h"

namespace msde {

void CheckReadablePages(Context& ctx, const Database& db, const Table& table);

}  // namespace msde
