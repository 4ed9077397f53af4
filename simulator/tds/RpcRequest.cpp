#include "tds/RpcRequest.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "tds/ScaledDecimal.h"
#include "tds/SqlBatch.h"
#include "tds/TextCodec.h"

namespace msde::tds {
namespace {

constexpr uint8_t kByRefValue = 0x01;
constexpr uint8_t kBatchFlag71 = 0x80;
constexpr uint8_t kBatchFlag72 = 0xFF;

const char* const kWellKnown[] = {"",
                                  "sp_cursor",
                                  "sp_cursoropen",
                                  "sp_cursorprepare",
                                  "sp_cursorexecute",
                                  "sp_cursorprepexec",
                                  "sp_cursorunprepare",
                                  "sp_cursorfetch",
                                  "sp_cursoroption",
                                  "sp_cursorclose",
                                  "sp_executesql",
                                  "sp_prepare",
                                  "sp_execute",
                                  "sp_prepexec",
                                  "sp_prepexecrpc",
                                  "sp_unprepare"};

std::string ReadName(Reader& r) {
  uint16_t units = r.U16();
  if (units == 0xFFFF) {
    uint16_t id = r.U16();
    if (id >= std::size(kWellKnown) || id == 0) throw ProtocolError("unknown procedure number");
    return kWellKnown[id];
  }
  return Utf16LeToUtf8(r.Take(2u * units), units);
}

std::string Quoted(const std::string& text, bool national) {
  std::string out = national ? "N'" : "'";
  for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

std::string Hex(const uint8_t* data, size_t n) {
  static const char* kDigits = "0123456789ABCDEF";
  std::string out = "0x";
  for (size_t i = 0; i < n; ++i) {
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 15];
  }
  return out;
}

int64_t SignedLe(const uint8_t* p, size_t n) {
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
  if (n < 8 && (p[n - 1] & 0x80)) v |= ~uint64_t{0} << (8 * n);  // sign extension
  return static_cast<int64_t>(v);
}

std::string ScaledText(Int128 value, int scale) {
  bool negative = value < 0;
  auto magnitude = static_cast<unsigned __int128>(negative ? -value : value);
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
    magnitude /= 10;
  } while (magnitude != 0);
  if (scale > 0) {
    if (static_cast<int>(digits.size()) <= scale)
      digits.insert(0, static_cast<size_t>(scale) + 1 - digits.size(), '0');
    digits.insert(digits.size() - static_cast<size_t>(scale), ".");
  }
  return negative ? "-" + digits : digits;
}

// A datetime as 'YYYY-MM-DD hh:mm:ss.mmm' (days since 1900-01-01, 1/300 s ticks).
std::string DateTimeText(const SqlDateTime& dt) {
  // Civil date from a day count (days since 1970-01-01 = days - 25567).
  int64_t z = int64_t{dt.days} - 25567 + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  int64_t y = yoe + era * 400 + (m <= 2);
  const int64_t ms = (int64_t{dt.ticks} * 10 + 1) / 3;
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, "'%04lld-%02lld-%02lld %02lld:%02lld:%02lld.%03lld'",
                static_cast<long long>(y), static_cast<long long>(m), static_cast<long long>(d),
                static_cast<long long>(ms / 3600000), static_cast<long long>(ms / 60000 % 60),
                static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
  return buffer;
}

std::string FloatText(double d) {
  char buffer[64];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::scientific);
  return std::string(buffer, r.ptr);  // 1.5e+00: read as float, as the parameter was
}

// The type's name as CAST takes it.
std::string TypeName(const ColumnInfo& t) {
  auto sized = [&](const char* name) { return std::string(name) + "(" + std::to_string(std::max(t.length, 1)) + ")"; };
  switch (t.type) {
    case SqlType::Int: return "int";
    case SqlType::SmallInt: return "smallint";
    case SqlType::TinyInt: return "tinyint";
    case SqlType::Bit: return "bit";
    case SqlType::BigInt: return "bigint";
    case SqlType::Float: return "float";
    case SqlType::Real: return "real";
    case SqlType::Money: return "money";
    case SqlType::DateTime: return "datetime";
    case SqlType::SmallDateTime: return "smalldatetime";
    case SqlType::UniqueIdentifier: return "uniqueidentifier";
    case SqlType::Variant: return "sql_variant";
    case SqlType::Binary: return sized("binary");
    case SqlType::VarBinary: return sized("varbinary");
    case SqlType::Numeric:
    case SqlType::Decimal:
      return std::string(t.type == SqlType::Numeric ? "numeric(" : "decimal(") +
             std::to_string(t.precision) + "," + std::to_string(t.scale) + ")";
    case SqlType::Char: return sized("char");
    case SqlType::VarChar: return sized("varchar");
    case SqlType::NChar: return sized("nchar");
    case SqlType::NVarChar: return sized("nvarchar");
    case SqlType::Text: return "text";
    case SqlType::NText: return "ntext";
  }
  return "sql_variant";
}

// The literal and the typed expression of a parameter whose type and value are known.
void SetLiterals(RpcParam& p) {
  const SqlType t = p.type.type;
  const bool character = t == SqlType::Char || t == SqlType::VarChar || t == SqlType::Text;
  const bool national = t == SqlType::NChar || t == SqlType::NVarChar || t == SqlType::NText;
  std::string literal;
  if (std::holds_alternative<std::monostate>(p.value)) {
    p.literal = "NULL";
    p.typed = "CAST(NULL AS " + TypeName(p.type) + ")";
    return;
  }
  if (auto i = std::get_if<int64_t>(&p.value)) {
    literal = std::to_string(*i);
  } else if (auto d = std::get_if<double>(&p.value)) {
    literal = FloatText(*d);
  } else if (auto dt = std::get_if<SqlDateTime>(&p.value)) {
    literal = DateTimeText(*dt);
  } else {
    const std::string& text = std::get<std::string>(p.value);
    literal = character || national || t == SqlType::UniqueIdentifier ? Quoted(text, national) : text;
  }
  p.literal = literal;
  // Types a bare literal would already have: int, float and the character types.
  const bool typed_already = t == SqlType::Int || t == SqlType::Float || character || national;
  p.typed = typed_already ? literal : "CAST(" + literal + " AS " + TypeName(p.type) + ")";
}

enum class Encoding { Binary, National, CodePage };

// A binary, UTF-16LE or Windows-1250 value.
void SetBytes(RpcParam& p, const uint8_t* v, size_t n, Encoding kind) {
  if (kind == Encoding::Binary) {
    p.literal = p.typed = Hex(v, n);
    p.value = std::string(reinterpret_cast<const char*>(v), n);
    return;
  }
  if (kind == Encoding::National) {
    if (n % 2) throw ProtocolError("odd length of a national character value");
    p.text = Utf16LeToUtf8(v, n / 2);
  } else {
    p.text = Cp1250ToUtf8(std::string(reinterpret_cast<const char*>(v), n));
  }
  p.value = *p.text;
}

// The size of a value in a fixed-size form, or for the nullable form NType the size its
// TYPE_INFO and length byte give; 0 means NULL.
uint8_t ValueSize(Reader& r, uint8_t type, uint8_t ntype, uint8_t FixedSize) {
  if (type != ntype) return FixedSize;
  r.U8();  // the maximum size
  return r.U8();
}

SqlType IntegerType(size_t size) {
  return size == 1 ? SqlType::TinyInt : size == 2 ? SqlType::SmallInt : size == 4 ? SqlType::Int : SqlType::BigInt;
}

// A value in TDS 7.2's chunked form: its total length (all ones: NULL; one less: unknown),
// then chunks each with its length, up to one of length 0.
std::optional<Bytes> ReadChunked(Reader& r) {
  const uint32_t low = r.U32(), high = r.U32();
  if (low == 0xFFFFFFFF && high == 0xFFFFFFFF) return std::nullopt;
  Bytes value;
  for (;;) {
    const uint32_t chunk = r.U32();
    if (chunk == 0) return value;
    const uint8_t* data = r.Take(chunk);
    value.insert(value.end(), data, data + chunk);
  }
}

// Reads one parameter's TYPE_INFO and value: its type, its value and its literals.
void ReadTypedValue(Reader& r, RpcParam& p, bool collations) {
  uint8_t type = r.U8();
  ColumnInfo& c = p.type;
  switch (type) {
    case 0x30:
    case 0x34:
    case 0x38:
    case 0x7F:
    case 0x32: {  // INT1, INT2, INT4, INT8, BIT
      size_t n = type == 0x30 || type == 0x32 ? 1 : type == 0x34 ? 2 : type == 0x38 ? 4 : 8;
      c.type = type == 0x32 ? SqlType::Bit : IntegerType(n);
      const uint8_t* v = r.Take(n);
      p.integer = n == 1 ? v[0] : SignedLe(v, n);
      p.value = *p.integer;
      return;
    }
    case 0x26:
    case 0x68: {  // INTN, BITN
      uint8_t max = r.U8();
      if (type == 0x26 && max != 1 && max != 2 && max != 4 && max != 8)
        throw ProtocolError("bad integer size");
      c.type = type == 0x68 ? SqlType::Bit : IntegerType(max);
      uint8_t n = r.U8();
      if (n == 0) return;
      if (n != 1 && n != 2 && n != 4 && n != 8) throw ProtocolError("bad integer size");
      const uint8_t* v = r.Take(n);
      p.integer = n == 1 ? v[0] : SignedLe(v, n);
      p.value = *p.integer;
      return;
    }
    case 0x3B:
    case 0x3E:
    case 0x6D: {  // FLT4, FLT8, FLTN
      uint8_t max = type == 0x6D ? r.U8() : type == 0x3B ? 4 : 8;
      c.type = max == 4 ? SqlType::Real : SqlType::Float;
      uint8_t n = type == 0x6D ? r.U8() : max;
      if (n == 0) return;
      const uint8_t* v = r.Take(n);
      if (n == 4) {
        float f;
        std::memcpy(&f, v, 4);
        p.value = static_cast<double>(f);
      } else if (n == 8) {
        double d;
        std::memcpy(&d, v, 8);
        p.value = d;
      } else {
        throw ProtocolError("bad float size");
      }
      return;
    }
    case 0x3C:
    case 0x7A:
    case 0x6E: {  // MONEY, SMALLMONEY, MONEYN
      c.type = SqlType::Money;
      uint8_t n = ValueSize(r, type, 0x6E, type == 0x3C ? 8 : 4);
      if (n == 0) return;
      Int128 value;
      if (n == 8) {
        uint32_t high = r.U32();
        uint32_t low = r.U32();
        value = static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
      } else if (n == 4) {
        value = static_cast<int32_t>(r.U32());
      } else {
        throw ProtocolError("bad money size");
      }
      p.value = ScaledText(value, 4);
      return;
    }
    case 0x6A:
    case 0x6C: {  // DECIMALN, NUMERICN
      r.U8();
      c.type = type == 0x6C ? SqlType::Numeric : SqlType::Decimal;
      c.precision = r.U8();
      c.scale = r.U8();
      if (c.precision < 1 || c.precision > 38 || c.scale > c.precision)
        throw ProtocolError("bad numeric precision");
      uint8_t n = r.U8();
      if (n == 0) return;
      if (n < 2 || n > 17) throw ProtocolError("bad numeric size");
      bool positive = r.U8() == 1;
      unsigned __int128 magnitude = 0;
      const uint8_t* v = r.Take(n - 1u);
      for (size_t i = n - 1u; i-- > 0;) magnitude = (magnitude << 8) | v[i];
      auto value = static_cast<Int128>(magnitude);
      p.value = ScaledText(positive ? value : -value, c.scale);
      return;
    }
    case 0x3D:
    case 0x3A:
    case 0x6F: {  // DATETIME, SMALLDATETIME, DATETIMN
      c.type = SqlType::DateTime;
      uint8_t n = ValueSize(r, type, 0x6F, type == 0x3D ? 8 : 4);
      if (n == 0) return;
      if (n == 8) {
        int32_t days = static_cast<int32_t>(r.U32());
        uint32_t ticks = r.U32();
        if (ticks >= 300u * 86400u) throw ProtocolError("bad datetime time of day");
        p.value = SqlDateTime{days, ticks};
      } else if (n == 4) {
        c.type = SqlType::SmallDateTime;
        uint16_t days = r.U16();
        uint16_t minutes = r.U16();
        if (minutes >= 1440) throw ProtocolError("bad smalldatetime time of day");
        p.value = SqlDateTime{days, uint32_t{minutes} * 60u * 300u};
      } else {
        throw ProtocolError("bad datetime size");
      }
      return;
    }
    case 0x24: {  // GUID
      c.type = SqlType::UniqueIdentifier;
      r.U8();
      uint8_t n = r.U8();
      if (n == 0) return;
      if (n != 16) throw ProtocolError("bad uniqueidentifier size");
      const uint8_t* v = r.Take(16);
      char buffer[40];
      std::snprintf(buffer, sizeof buffer,
                    "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", v[3],
                    v[2], v[1], v[0], v[5], v[4], v[7], v[6], v[8], v[9], v[10], v[11], v[12],
                    v[13], v[14], v[15]);
      p.value = std::string(buffer);
      return;
    }
    case 0xA7:
    case 0xAF:
    case 0xE7:
    case 0xEF:
    case 0xA5:
    case 0xAD: {
      // BIGVARCHR, BIGCHAR, NVARCHAR, NCHAR (with collation), BIGVARBIN, BIGBINARY
      uint16_t max = r.U16();
      bool character = type != 0xA5 && type != 0xAD;
      bool national = type == 0xE7 || type == 0xEF;
      if (character && collations) r.Skip(5);
      p.binary = !character;
      c.type = type == 0xA7 ? SqlType::VarChar : type == 0xAF ? SqlType::Char
               : type == 0xE7 ? SqlType::NVarChar : type == 0xEF ? SqlType::NChar
               : type == 0xA5 ? SqlType::VarBinary : SqlType::Binary;
      const Encoding encoding = !character ? Encoding::Binary : national ? Encoding::National : Encoding::CodePage;
      if (max == 0xFFFF) {
        // varchar(max) and its kin (TDS 7.2): the value in chunks.
        c.length = national ? 4000 : 8000;
        std::optional<Bytes> value = ReadChunked(r);
        if (value) SetBytes(p, value->data(), value->size(), encoding);
        return;
      }
      c.length = national ? max / 2 : max;
      uint16_t n = r.U16();
      if (n == 0xFFFF) return;
      SetBytes(p, r.Take(n), n, encoding);
      return;
    }
    case 0x23:
    case 0x63:
    case 0x22: {  // TEXT, NTEXT, IMAGE
      r.U32();
      if (type != 0x22 && collations) r.Skip(5);
      p.binary = type == 0x22;
      c.type = type == 0x63 ? SqlType::NText : SqlType::Text;
      uint32_t n = r.U32();
      if (n == 0xFFFFFFFF) return;
      SetBytes(p, r.Take(n), n,
               type == 0x22   ? Encoding::Binary
               : type == 0x63 ? Encoding::National
                              : Encoding::CodePage);
      return;
    }
    default:
      throw ProtocolError("parameter type not served");
  }
}

void ReadValue(Reader& r, RpcParam& p, bool collations) {
  ReadTypedValue(r, p, collations);
  if (!p.binary)
    SetLiterals(p);
  else if (p.literal.empty())
    p.literal = p.typed = "NULL";
}

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#' ||
         c == '$' || (static_cast<unsigned char>(c) & 0x80);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

std::vector<RpcCall> ParseRpcRequest(const Bytes& payload, bool collations) {
  std::vector<RpcCall> calls;
  Reader r(payload);
  r.Skip(AllHeadersLength(payload));
  for (;;) {
    RpcCall call;
    call.procedure = ReadName(r);
    r.U16();  // option flags
    bool more = false;
    while (r.Remaining() > 0) {
      uint8_t units = r.U8();
      if (units == kBatchFlag71 || units == kBatchFlag72) {
        more = true;
        break;
      }
      RpcParam p;
      p.name = Utf16LeToUtf8(r.Take(2u * units), units);
      p.output = (r.U8() & kByRefValue) != 0;
      ReadValue(r, p, collations);
      call.params.push_back(std::move(p));
    }
    calls.push_back(std::move(call));
    if (!more) break;
  }
  return calls;
}

std::string RpcProcedureName(const Bytes& payload) {
  try {
    Reader r(payload);
    r.Skip(AllHeadersLength(payload));
    return ReadName(r);
  } catch (const ProtocolError&) {
    return "";
  }
}

std::vector<std::string> DeclaredParameters(const std::string& declarations) {
  std::vector<std::string> names;
  int depth = 0;
  bool expect_name = true;
  for (size_t i = 0; i < declarations.size(); ++i) {
    char c = declarations[i];
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (c == ',' && depth == 0) expect_name = true;
    if (c == '@' && expect_name) {
      size_t end = i + 1;
      while (end < declarations.size() && IsNameChar(declarations[end])) ++end;
      names.push_back(declarations.substr(i, end - i));
      expect_name = false;
      i = end - 1;
    }
  }
  return names;
}

std::string SubstituteParameters(const std::string& statement,
                                 const std::vector<Substitution>& values) {
  std::string out;
  size_t i = 0;
  // EXEC takes literals only, so inside an EXEC statement the plain form is written.
  bool statement_start = true, exec = false;
  auto copy_until = [&](const std::string& end) {
    size_t stop = statement.find(end, i);
    stop = stop == std::string::npos ? statement.size() : stop + end.size();
    out.append(statement, i, stop - i);
    i = stop;
  };
  while (i < statement.size()) {
    char c = statement[i];
    if (c == '\'' || c == '"' || c == '[') {
      // Quotes doubled inside are two adjacent quoted pieces: the same result.
      char close = c == '[' ? ']' : c;
      out += c;
      ++i;
      copy_until(std::string(1, close));
      statement_start = false;
    } else if (statement.compare(i, 2, "--") == 0) {
      copy_until("\n");
    } else if (statement.compare(i, 2, "/*") == 0) {
      copy_until("*/");
    } else if (c == '@') {
      size_t end = i + 1;
      while (end < statement.size() && IsNameChar(statement[end])) ++end;
      std::string name = statement.substr(i, end - i);
      const Substitution* value = nullptr;
      for (const auto& v : values)
        if (SameName(v.name, name)) value = &v;
      out += value ? (exec ? value->plain : value->typed) : name;
      i = end;
      statement_start = false;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      size_t end = i;
      while (end < statement.size() && IsNameChar(statement[end])) ++end;
      std::string word = statement.substr(i, end - i);
      if (statement_start) exec = SameName(word, "exec") || SameName(word, "execute");
      statement_start = false;
      out += word;
      i = end;
    } else {
      if (c == ';') statement_start = true;
      else if (!std::isspace(static_cast<unsigned char>(c))) statement_start = false;
      out += c;
      ++i;
    }
  }
  return out;
}

}  // namespace msde::tds
