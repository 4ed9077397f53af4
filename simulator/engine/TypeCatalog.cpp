// systypes in every database: the system data types, as SQL Server 2000 lists them.
#include "engine/SystemTables.h"

namespace msde {
namespace {

struct SystemType {
  const char* name;
  int xtype, xusertype, length, prec, scale, usertype, type;
  bool variable;
  bool collated;  // character types carry the database's collation
};

// name, xtype, xusertype, length, prec, scale, usertype, type, variable, collated
constexpr SystemType kSystemTypes[] = {
    {"image", 34, 34, 16, 0, 0, 20, 34, false, false},
    {"text", 35, 35, 16, 0, 0, 19, 35, false, true},
    {"uniqueidentifier", 36, 36, 16, 0, 0, 0, 37, false, false},
    {"tinyint", 48, 48, 1, 3, 0, 5, 48, false, false},
    {"smallint", 52, 52, 2, 5, 0, 6, 52, false, false},
    {"int", 56, 56, 4, 10, 0, 7, 56, false, false},
    {"smalldatetime", 58, 58, 4, 16, 0, 22, 58, false, false},
    {"real", 59, 59, 4, 7, 0, 23, 59, false, false},
    {"money", 60, 60, 8, 19, 4, 11, 60, false, false},
    {"datetime", 61, 61, 8, 23, 3, 12, 61, false, false},
    {"float", 62, 62, 8, 53, 0, 8, 62, false, false},
    {"sql_variant", 98, 98, 8016, 0, 0, 0, 39, false, false},
    {"ntext", 99, 99, 16, 0, 0, 0, 35, false, true},
    {"bit", 104, 104, 1, 1, 0, 16, 50, false, false},
    {"decimal", 106, 106, 17, 38, 38, 24, 55, false, false},
    {"numeric", 108, 108, 17, 38, 38, 10, 63, false, false},
    {"smallmoney", 122, 122, 4, 10, 4, 21, 122, false, false},
    {"bigint", 127, 127, 8, 19, 0, 0, 63, false, false},
    {"varbinary", 165, 165, 8000, 8000, 0, 4, 37, true, false},
    {"varchar", 167, 167, 8000, 8000, 0, 2, 39, true, true},
    {"binary", 173, 173, 8000, 8000, 0, 3, 45, false, false},
    {"char", 175, 175, 8000, 8000, 0, 1, 47, false, true},
    {"timestamp", 189, 80, 8, 0, 0, 80, 45, false, false},
    {"nvarchar", 231, 231, 8000, 4000, 0, 0, 39, true, true},
    {"nchar", 239, 239, 8000, 4000, 0, 0, 47, false, true},
    {"sysname", 231, 256, 256, 128, 0, 18, 39, true, true},
};

void SysTypes(Context& ctx, Database& db, RowSource& out) {
  using T = SqlType;
  out.columns = {Column("name", T::NVarChar, 128, false), Column("xtype", T::TinyInt, 0, false),
                 Column("status", T::TinyInt),  Column("xusertype", T::SmallInt),
                 Column("length", T::SmallInt, 0, false), Column("xprec", T::TinyInt, 0, false),
                 Column("xscale", T::TinyInt, 0, false), Column("tdefault", T::Int, 0, false),
                 Column("domain", T::Int, 0, false), Column("uid", T::SmallInt),
                 Column("reserved", T::SmallInt), Column("usertype", T::SmallInt),
                 Column("variable", T::Bit), Column("allownulls", T::Bit),
                 Column("type", T::TinyInt, 0, false), Column("printfmt", T::VarChar, 255),
                 Column("prec", T::SmallInt), Column("scale", T::TinyInt),
                 Column("collation", T::NVarChar, 128)};
  const std::string collation = db.collation.empty() ? ctx.model.server.collation : db.collation;
  for (const SystemType& t : kSystemTypes) {
    const int xprec = t.prec > 255 ? 0 : t.prec;
    out.owned.push_back({std::string(t.name), int64_t{t.xtype}, int64_t{0}, int64_t{t.xusertype},
                         int64_t{t.length}, int64_t{xprec}, int64_t{t.scale}, int64_t{0}, int64_t{0},
                         int64_t{4}, int64_t{0}, int64_t{t.usertype}, int64_t{t.variable ? 1 : 0},
                         int64_t{1}, int64_t{t.type}, Value{}, int64_t{t.prec},
                         int64_t{t.scale}, t.collated ? Value{collation} : Value{}});
  }
}

const SystemTableRegistration systypes("systypes", false, SysTypes);

}  // namespace
}  // namespace msde
