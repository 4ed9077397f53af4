// The shop databases' own procedure "ZamknijZmiany" (close the shifts): it ends every open
// shift of the current database's Zmiany table at the present time, reports the rows it
// changed, and then refuses a shift that was closed without the till's final amount
// (StanKoncowy) with error 50000, as the point-of-sale application's procedure does. So a
// client sees a row count first and the error only after it, as SQL Server sends them.
#include <string>

#include "engine/SqlTime.h"
#include "engine/Statements.h"
#include "engine/Transactions.h"

namespace msde {
namespace {

int ColumnIndex(const Table& table, const char* name) {
  for (size_t i = 0; i < table.columns.size(); ++i)
    if (EqualNoCase(table.columns[i].name, name)) return static_cast<int>(i);
  return -1;
}

void CloseShifts(Context& ctx, const ProcArgs&) {
  Database& db = ctx.CurrentDatabase();
  Table* shifts = db.FindTable("", "Zmiany");
  const int id = shifts ? ColumnIndex(*shifts, "IdZmiany") : -1;
  const int end = shifts ? ColumnIndex(*shifts, "Koniec") : -1;
  const int amount = shifts ? ColumnIndex(*shifts, "StanKoncowy") : -1;
  // Outside a shop database the procedure does not exist.
  if (id < 0 || end < 0 || amount < 0) ctx.Fail(2812, 16, 62, "Could not find stored procedure 'ZamknijZmiany'.");
  ctx.CheckWritable(db);
  Table& table = PrepareTableChange(ctx, db.name, shifts->id, [&](const Row& row) { return IsNull(row[end]); });
  int64_t closed = 0;
  std::string without_amount;
  for (size_t i = 0; i < table.rows.size(); ++i) {
    Row& row = table.rows[i];
    if (!IsNull(row[end])) continue;
    const Row before = row;
    row[end] = NowDateTime();
    KeepRowChange(ctx, db.name, table, &before, &row, i);
    ++closed;
    if (IsNull(row[amount]) && without_amount.empty()) without_amount = ValueText(row[id]);
  }
  // The UPDATE's own count, as a procedure's statement reports it.
  ctx.sink.Done(closed, false);
  if (!without_amount.empty())
    ctx.Fail(50000, 16, 1, "Zmiana " + without_amount + " zamknięta bez stanu końcowego kasy.");
}

const ProcedureRegistration close_shifts("ZamknijZmiany", {}, CloseShifts);

}  // namespace
}  // namespace msde
