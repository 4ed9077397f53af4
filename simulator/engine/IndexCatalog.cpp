// sysindexes in every database: one row per table (its clustered primary key, or the heap
// of a table without one), with the pages and rows that sp_spaceused and clients read.
#include "engine/DatabaseSpace.h"
#include "engine/SystemObjects.h"
#include "engine/SystemTables.h"

namespace msde {
namespace {

void SysIndexes(Context&, Database& db, RowSource& out) {
  using T = SqlType;
  out.columns = {Column("id", T::Int, 0, false), Column("status", T::Int, 0, false),
                 BinaryColumn("first", 6, true), Column("indid", T::SmallInt, 0, false),
                 BinaryColumn("root", 6, true), Column("minlen", T::SmallInt, 0, false),
                 Column("keycnt", T::SmallInt, 0, false), Column("groupid", T::SmallInt, 0, false),
                 Column("dpages", T::Int, 0, false), Column("reserved", T::Int, 0, false),
                 Column("used", T::Int, 0, false), Column("rowcnt", T::BigInt, 0, false),
                 Column("rowmodctr", T::Int, 0, false), Column("reserved3", T::TinyInt, 0, false),
                 Column("reserved4", T::TinyInt, 0, false), Column("xmaxlen", T::SmallInt, 0, false),
                 Column("maxirow", T::SmallInt), Column("OrigFillFactor", T::TinyInt, 0, false),
                 Column("StatVersion", T::TinyInt, 0, false), Column("reserved2", T::Int, 0, false),
                 BinaryColumn("FirstIAM", 6, true), Column("impid", T::SmallInt),
                 Column("lockflags", T::SmallInt), Column("pgmodctr", T::Int),
                 BinaryColumn("keys", 1088), Column("name", T::NVarChar, 128),
                 BinaryColumn("statblob", 8000), Column("maxlen", T::Int), Column("rows", T::Int)};
  const std::string page(6, '\0');
  auto add = [&](int64_t id, int64_t indid, int64_t keys, const std::string& name, int64_t data, int64_t index,
                 int64_t rows) {
    const int64_t used = data + index;
    const int64_t reserved = (used + 7) / 8 * 8;  // whole extents of eight pages
    out.owned.push_back({id, int64_t{indid == 1 ? 2066 : 0}, page, indid, page, int64_t{0}, keys, int64_t{1},
                         data, reserved, used, rows, int64_t{0}, int64_t{0}, int64_t{0}, int64_t{8060},
                         int64_t{0}, int64_t{0}, int64_t{0}, int64_t{0}, page, int64_t{0}, int64_t{0},
                         int64_t{0}, Value{}, name, Value{}, int64_t{8000}, rows});
  };
  for (const SystemObject& o : SystemObjectsOf(db)) add(o.id, 1, 1, o.name, 1, 1, 0);
  for (const Table& t : db.tables) {
    const bool keyed = !t.primary_key.empty();
    add(t.id, keyed ? 1 : 0, static_cast<int64_t>(t.primary_key.size()), keyed ? t.primary_key_name : t.name,
        TableDataPages(t), keyed ? TableIndexPages(t) : 0, static_cast<int64_t>(t.rows.size()));
  }
}

const SystemTableRegistration sysindexes("sysindexes", false, SysIndexes);

}  // namespace
}  // namespace msde
