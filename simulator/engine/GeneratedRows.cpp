#include "engine/GeneratedRows.h"

#include <string>

#include "engine/SqlTime.h"

namespace msde {

namespace {

// 2020-01-01 as days since 1900-01-01.
constexpr int32_t kFirstDay = 43829;

std::string DecimalText(int64_t N, int Scale) {
  // N / 100 written with Scale decimals (digits beyond the hundredths are zeros).
  std::string whole = std::to_string(N / 100);
  std::string cents = std::to_string(N % 100);
  if (cents.size() < 2) cents.insert(0, "0");
  if (Scale <= 0) return whole;
  std::string fraction = Scale == 1 ? cents.substr(0, 1) : cents + std::string(static_cast<size_t>(Scale - 2), '0');
  return whole + "." + fraction;
}

}  // namespace

nlohmann::json GeneratedCell(const ColumnInfo& Column, int64_t N) {
  switch (Column.type) {
    case SqlType::Int: return N % 2147483647;
    case SqlType::BigInt: return N;
    case SqlType::SmallInt: return N % 32768;
    case SqlType::TinyInt: return N % 256;
    case SqlType::Bit: return N % 2;
    case SqlType::Float: case SqlType::Real: return static_cast<double>(N) / 4;
    case SqlType::Numeric: case SqlType::Decimal: return DecimalText(N, Column.scale);
    case SqlType::Money: return DecimalText(N, 4);
    case SqlType::DateTime: case SqlType::SmallDateTime: {
      const SqlDateTime at{static_cast<int32_t>(kFirstDay + N / 1440), static_cast<uint32_t>(N % 1440 * 60 * 300)};
      return DateTimeText(at);
    }
    case SqlType::Char: case SqlType::VarChar: case SqlType::NChar: case SqlType::NVarChar:
    case SqlType::Text: case SqlType::NText: {
      std::string text = Column.name + " " + std::to_string(N);
      if (Column.length > 0 && text.size() > static_cast<size_t>(Column.length)) text.resize(static_cast<size_t>(Column.length));
      return text;
    }
    default: return nullptr;
  }
}

}  // namespace msde
