#include "tds/ResultEncoder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "tds/ScaledDecimal.h"
#include "tds/TextCodec.h"
#include "tds/Tokens.h"
#include "VariantBase.h"

namespace msde::tds {
namespace {

namespace Wire {
constexpr uint8_t Text = 0x23, Guid = 0x24, IntN = 0x26, Int1 = 0x30, Bit = 0x32, Int2 = 0x34,
                  Int4 = 0x38, DateTime = 0x3D, Flt4 = 0x3B, Money = 0x3C, Flt8 = 0x3E,
                  NText = 0x63, DecimalN = 0x6A, NumericN = 0x6C, BitN = 0x68, FltN = 0x6D,
                  MoneyN = 0x6E, DateTimeN = 0x6F, SmallDateTime = 0x3A, Int8 = 0x7F, BigVarChar = 0xA7, BigChar = 0xAF,
                  NVarChar = 0xE7, NChar = 0xEF, Variant = 0x62, BigVarBinary = 0xA5,
                  BigBinary = 0xAD;
}

constexpr uint16_t kFlagNullable = 0x0001;
constexpr uint16_t kFlagUpdatableUnknown = 0x0008;
constexpr uint32_t kMaxCharBytes = 8000;
constexpr uint32_t kMaxVariantBytes = 8016;
// Any value will do: this server never reads text through a pointer.
constexpr uint8_t kTextPointer[16] = {0x54, 0x58, 0x54, 0x50, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
constexpr uint8_t kTextTimestamp[8] = {0x01, 0, 0, 0, 0, 0, 0, 0};

bool IsFixedNotNull(const ColumnInfo& c) { return !c.nullable; }

// Numeric bytes by precision, as SQL Server sizes its storage.
uint32_t NumericSize(int precision) {
  return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
}

ResultEncoder::WireColumn Describe(ColumnInfo c, bool collations) {
  if (c.type == SqlType::Variant && !collations) {
    // TDS 7.0 has no sql_variant: such clients read the value as text.
    c.type = SqlType::NVarChar;
    c.length = 4000;
  }
  ResultEncoder::WireColumn w{c, 0, 0};
  bool fixed = IsFixedNotNull(c);
  auto set = [&](uint8_t nullable_type, uint8_t fixed_type, uint32_t size) {
    w.wire_type = fixed ? fixed_type : nullable_type;
    w.size = size;
  };
  switch (c.type) {
    case SqlType::Int:
      set(Wire::IntN, Wire::Int4, 4);
      break;
    case SqlType::SmallInt:
      set(Wire::IntN, Wire::Int2, 2);
      break;
    case SqlType::TinyInt:
      set(Wire::IntN, Wire::Int1, 1);
      break;
    case SqlType::BigInt:
      set(Wire::IntN, Wire::Int8, 8);
      break;
    case SqlType::Bit:
      set(Wire::BitN, Wire::Bit, 1);
      break;
    case SqlType::Float:
      set(Wire::FltN, Wire::Flt8, 8);
      break;
    case SqlType::Real:
      set(Wire::FltN, Wire::Flt4, 4);
      break;
    case SqlType::Money:
      set(Wire::MoneyN, Wire::Money, 8);
      break;
    case SqlType::DateTime:
      set(Wire::DateTimeN, Wire::DateTime, 8);
      break;
    case SqlType::SmallDateTime:
      set(Wire::DateTimeN, Wire::SmallDateTime, 4);
      break;
    case SqlType::UniqueIdentifier:
      set(Wire::Guid, Wire::Guid, 16);
      break;
    case SqlType::Numeric:
    case SqlType::Decimal:
      w.info.precision = c.precision <= 0 ? 18 : std::min(c.precision, 38);
      w.info.scale = std::clamp(c.scale, 0, w.info.precision);
      w.wire_type = c.type == SqlType::Numeric ? Wire::NumericN : Wire::DecimalN;
      w.size = NumericSize(w.info.precision);
      break;
    case SqlType::Char:
    case SqlType::VarChar:
      w.wire_type = c.type == SqlType::Char ? Wire::BigChar : Wire::BigVarChar;
      w.size = std::clamp<uint32_t>(static_cast<uint32_t>(std::max(c.length, 1)), 1, kMaxCharBytes);
      break;
    case SqlType::NChar:
    case SqlType::NVarChar:
      w.wire_type = c.type == SqlType::NChar ? Wire::NChar : Wire::NVarChar;
      w.size = 2 * std::clamp<uint32_t>(static_cast<uint32_t>(std::max(c.length, 1)), 1,
                                        kMaxCharBytes / 2);
      break;
    case SqlType::Text:
      w.wire_type = Wire::Text;
      w.size = 0x7FFFFFFF;
      break;
    case SqlType::NText:
      w.wire_type = Wire::NText;
      w.size = 0x7FFFFFFE;
      break;
    case SqlType::Variant:
      w.wire_type = Wire::Variant;
      w.size = kMaxVariantBytes;
      break;
    case SqlType::Binary:
    case SqlType::VarBinary:
      w.wire_type = c.type == SqlType::Binary ? Wire::BigBinary : Wire::BigVarBinary;
      w.size = std::clamp<uint32_t>(static_cast<uint32_t>(std::max(c.length, 1)), 1, kMaxCharBytes);
      break;
  }
  return w;
}

bool HasSizeByte(uint8_t type) {
  return type == Wire::IntN || type == Wire::BitN || type == Wire::FltN || type == Wire::MoneyN ||
         type == Wire::DateTimeN || type == Wire::Guid || type == Wire::NumericN ||
         type == Wire::DecimalN;
}

bool IsFixed(uint8_t type) {
  return type == Wire::Int1 || type == Wire::Int2 || type == Wire::Int4 || type == Wire::Int8 ||
         type == Wire::Bit || type == Wire::Flt4 || type == Wire::Flt8 || type == Wire::Money ||
         type == Wire::DateTime || type == Wire::SmallDateTime;
}

// Text of a number as the engine may hand it over for a decimal or character column.
std::optional<std::string> AsText(const Value& v) {
  if (auto s = std::get_if<std::string>(&v)) return *s;
  if (auto i = std::get_if<int64_t>(&v)) return std::to_string(*i);
  if (auto d = std::get_if<double>(&v)) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, *d);
    return std::string(buf, r.ptr);
  }
  return std::nullopt;
}

std::optional<int64_t> AsInt(const Value& v) {
  if (auto i = std::get_if<int64_t>(&v)) return *i;
  if (auto d = std::get_if<double>(&v))
    return std::isfinite(*d) ? std::optional<int64_t>(std::llround(*d)) : std::nullopt;
  if (auto s = std::get_if<std::string>(&v)) {
    int64_t out = 0;
    auto r = std::from_chars(s->data(), s->data() + s->size(), out);
    if (r.ec == std::errc() && r.ptr == s->data() + s->size()) return out;
  }
  return std::nullopt;
}

std::optional<double> AsDouble(const Value& v) {
  if (auto d = std::get_if<double>(&v)) return *d;
  if (auto i = std::get_if<int64_t>(&v)) return static_cast<double>(*i);
  if (auto s = std::get_if<std::string>(&v)) {
    double out = 0;
    auto r = std::from_chars(s->data(), s->data() + s->size(), out);
    if (r.ec == std::errc() && r.ptr == s->data() + s->size()) return out;
  }
  return std::nullopt;
}

std::optional<Bytes> GuidBytes(const std::string& text) {
  if (text.size() != 36) return std::nullopt;
  Bytes raw;
  for (size_t i = 0; i < text.size();) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i++] != '-') return std::nullopt;
      continue;
    }
    uint8_t b = 0;
    auto r = std::from_chars(text.data() + i, text.data() + i + 2, b, 16);
    if (r.ptr != text.data() + i + 2) return std::nullopt;
    raw.push_back(b);
    i += 2;
  }
  // The first three groups travel little-endian.
  std::reverse(raw.begin(), raw.begin() + 4);
  std::reverse(raw.begin() + 4, raw.begin() + 6);
  std::reverse(raw.begin() + 6, raw.begin() + 8);
  return raw;
}

std::optional<Bytes> EncodeVariant(const ColumnInfo& column, const Value& value);

// The value's bytes in the column's form, without length prefix; nothing means NULL.
std::optional<Bytes> Encode(const ResultEncoder::WireColumn& c, const Value& value) {
  if (std::holds_alternative<std::monostate>(value)) return std::nullopt;
  Writer w;
  switch (c.info.type) {
    case SqlType::Int:
    case SqlType::SmallInt:
    case SqlType::TinyInt:
    case SqlType::BigInt:
    case SqlType::Bit: {
      auto i = AsInt(value);
      if (!i) return std::nullopt;
      uint64_t u = static_cast<uint64_t>(c.info.type == SqlType::Bit ? *i != 0 : *i);
      for (uint32_t k = 0; k < c.size; ++k) w.U8(static_cast<uint8_t>(u >> (8 * k)));
      break;
    }
    case SqlType::Float:
    case SqlType::Real: {
      auto d = AsDouble(value);
      if (!d) return std::nullopt;
      if (c.size == 8) {
        uint64_t bits;
        std::memcpy(&bits, &*d, 8);
        w.U64(bits);
      } else {
        float f = static_cast<float>(*d);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        w.U32(bits);
      }
      break;
    }
    case SqlType::Money: {
      auto text = AsText(value);
      auto scaled = text ? ParseScaled(*text, 4) : std::nullopt;
      if (!scaled || DigitCount(*scaled) > 19) return std::nullopt;
      auto v = static_cast<uint64_t>(static_cast<int64_t>(*scaled));
      w.U32(static_cast<uint32_t>(v >> 32));  // high half first
      w.U32(static_cast<uint32_t>(v));
      break;
    }
    case SqlType::Numeric:
    case SqlType::Decimal: {
      auto text = AsText(value);
      auto scaled = text ? ParseScaled(*text, c.info.scale) : std::nullopt;
      if (!scaled || DigitCount(*scaled) > c.info.precision) return std::nullopt;
      w.U8(*scaled >= 0 ? 1 : 0);
      auto magnitude = static_cast<unsigned __int128>(*scaled >= 0 ? *scaled : -*scaled);
      for (uint32_t k = 0; k + 1 < c.size; ++k) w.U8(static_cast<uint8_t>(magnitude >> (8 * k)));
      break;
    }
    case SqlType::DateTime: {
      auto dt = std::get_if<SqlDateTime>(&value);
      if (!dt) return std::nullopt;
      w.U32(static_cast<uint32_t>(dt->days));
      w.U32(dt->ticks);
      break;
    }
    case SqlType::SmallDateTime: {
      // Days since 1900-01-01 and minutes since midnight, two bytes each.
      auto dt = std::get_if<SqlDateTime>(&value);
      if (!dt || dt->days < 0 || dt->days > 0xFFFF) return std::nullopt;
      w.U16(static_cast<uint16_t>(dt->days));
      w.U16(static_cast<uint16_t>(dt->ticks / (60 * 300)));
      break;
    }
    case SqlType::UniqueIdentifier: {
      auto s = std::get_if<std::string>(&value);
      auto raw = s ? GuidBytes(*s) : std::nullopt;
      if (!raw) return std::nullopt;
      return raw;
    }
    case SqlType::Char:
    case SqlType::VarChar:
    case SqlType::Text: {
      auto text = AsText(value);
      if (!text) return std::nullopt;
      std::string bytes = Utf8ToCp1250(*text);
      if (c.info.type != SqlType::Text) {
        if (bytes.size() > c.size) bytes.resize(c.size);  // never more than the column holds
        if (c.info.type == SqlType::Char) bytes.resize(c.size, ' ');
      }
      w.Raw(bytes.data(), bytes.size());
      break;
    }
    case SqlType::NChar:
    case SqlType::NVarChar:
    case SqlType::NText: {
      auto text = AsText(value);
      if (!text) return std::nullopt;
      size_t units = c.info.type == SqlType::NText ? 0 : c.size / 2;
      std::u16string u = Utf8ToUtf16(*text, units);
      if (c.info.type == SqlType::NChar) u.resize(units, u' ');
      AppendUtf16(u, w.Data());
      break;
    }
    case SqlType::Variant:
      return EncodeVariant(c.info, value);
    case SqlType::Binary:
    case SqlType::VarBinary: {
      auto bytes = std::get_if<std::string>(&value);
      if (!bytes) return std::nullopt;
      std::string raw = bytes->substr(0, c.size);
      if (c.info.type == SqlType::Binary) raw.resize(c.size, '\0');  // binary(n) is padded
      w.Raw(raw.data(), raw.size());
      break;
    }
  }
  return std::move(w.Data());
}

// A sql_variant value: its base type (the fixed forms of the fixed-size types), the
// properties that type needs (precision and scale; a maximum length, with a collation for
// text), and the value's bytes in the base type's form.
std::optional<Bytes> EncodeVariant(const ColumnInfo& column, const Value& value) {
  ColumnInfo base = VariantBaseOf(column, value);
  base.nullable = false;
  const ResultEncoder::WireColumn form = Describe(base, true);
  std::optional<Bytes> data = Encode(form, value);
  if (!data) return std::nullopt;
  Writer w;
  w.U8(form.wire_type);
  if (form.wire_type == Wire::NumericN || form.wire_type == Wire::DecimalN) {
    w.U8(2);
    w.U8(static_cast<uint8_t>(form.info.precision));
    w.U8(static_cast<uint8_t>(form.info.scale));
  } else if (form.wire_type == Wire::BigVarChar || form.wire_type == Wire::BigChar ||
             form.wire_type == Wire::NVarChar || form.wire_type == Wire::NChar) {
    w.U8(7);
    w.Raw(kCollation, sizeof kCollation);
    w.U16(static_cast<uint16_t>(form.size));
  } else if (form.wire_type == Wire::BigVarBinary || form.wire_type == Wire::BigBinary) {
    w.U8(2);
    w.U16(static_cast<uint16_t>(form.size));
  } else {
    w.U8(0);
  }
  w.Raw(*data);
  return std::move(w.Data());
}

}  // namespace

ResultEncoder::ResultEncoder(const std::vector<ColumnInfo>& columns, bool collations)
    : collations_(collations) {
  columns_.reserve(columns.size());
  for (const auto& c : columns) columns_.push_back(Describe(c, collations));
}

namespace {

// TYPE_INFO: the wire type and what its form needs (size, precision and scale, collation).
void WriteTypeInfo(Writer& w, const ResultEncoder::WireColumn& c, bool collations) {
  w.U8(c.wire_type);
  if (HasSizeByte(c.wire_type)) w.U8(static_cast<uint8_t>(c.size));
  if (c.wire_type == Wire::NumericN || c.wire_type == Wire::DecimalN) {
    w.U8(static_cast<uint8_t>(c.info.precision));
    w.U8(static_cast<uint8_t>(c.info.scale));
  }
  if (c.wire_type == Wire::BigVarChar || c.wire_type == Wire::BigChar ||
      c.wire_type == Wire::NVarChar || c.wire_type == Wire::NChar) {
    w.U16(static_cast<uint16_t>(c.size));
    if (collations) w.Raw(kCollation, sizeof kCollation);
  }
  if (c.wire_type == Wire::Text || c.wire_type == Wire::NText) {
    w.U32(c.size);
    if (collations) w.Raw(kCollation, sizeof kCollation);
  }
  if (c.wire_type == Wire::Variant) w.U32(c.size);
  if (c.wire_type == Wire::BigVarBinary || c.wire_type == Wire::BigBinary)
    w.U16(static_cast<uint16_t>(c.size));
}

// No user-defined types: 0, in 16 bits (32 from TDS 7.2 on).
void WriteUserType(Writer& w) {
  if (w.tds72)
    w.U32(0);
  else
    w.U16(0);
}

}  // namespace

void ResultEncoder::WriteMetadata(Writer& w) const {
  w.U8(Token::ColMetadata);
  w.U16(static_cast<uint16_t>(columns_.size()));
  for (const auto& c : columns_) {
    WriteUserType(w);
    w.U16(static_cast<uint16_t>((c.info.nullable ? kFlagNullable : 0) | kFlagUpdatableUnknown));
    WriteTypeInfo(w, c, collations_);
    if (c.wire_type == Wire::Text || c.wire_type == Wire::NText) {
      if (w.tds72) w.U8(1);  // the table name in one part
      w.UsVarChar("");       // table name: not known for a computed result
    }
    w.BVarChar(c.info.name);
  }
}

void WriteReturnValue(Writer& w, uint16_t ordinal, const std::string& name, ColumnInfo type,
                      const Value& value, bool collations) {
  type.nullable = true;  // an output parameter may always be NULL
  const ResultEncoder::WireColumn c = Describe(type, collations);
  w.U8(Token::ReturnValue);
  w.U16(ordinal);
  w.BVarChar(name);
  w.U8(0x01);  // an output parameter
  WriteUserType(w);
  w.U16(kFlagNullable);
  WriteTypeInfo(w, c, collations);
  ResultEncoder({}, collations).WriteValue(w, c, value);
}

void ResultEncoder::WriteRow(Writer& w, const Row& row) const {
  w.U8(Token::Row);
  static const Value kNull;
  for (size_t i = 0; i < columns_.size(); ++i)
    WriteValue(w, columns_[i], i < row.size() ? row[i] : kNull);
}

void ResultEncoder::WriteValue(Writer& w, const WireColumn& c, const Value& value) const {
  std::optional<Bytes> bytes = Encode(c, value);
  if (IsFixed(c.wire_type)) {
    // A NOT NULL form has no NULL: the engine broke its own promise, so send zero.
    if (!bytes) bytes = Bytes(c.size, 0);
    w.Raw(*bytes);
  } else if (HasSizeByte(c.wire_type)) {
    w.U8(bytes ? static_cast<uint8_t>(bytes->size()) : 0);
    if (bytes) w.Raw(*bytes);
  } else if (c.wire_type == Wire::Variant) {
    w.U32(bytes ? static_cast<uint32_t>(bytes->size()) : 0);  // 0: NULL
    if (bytes) w.Raw(*bytes);
  } else if (c.wire_type == Wire::Text || c.wire_type == Wire::NText) {
    if (!bytes) {
      w.U8(0);  // no text pointer: NULL
      return;
    }
    w.U8(sizeof kTextPointer);
    w.Raw(kTextPointer, sizeof kTextPointer);
    w.Raw(kTextTimestamp, sizeof kTextTimestamp);
    w.U32(static_cast<uint32_t>(bytes->size()));
    w.Raw(*bytes);
  } else {
    w.U16(bytes ? static_cast<uint16_t>(bytes->size()) : 0xFFFF);
    if (bytes) w.Raw(*bytes);
  }
}

}  // namespace msde::tds
