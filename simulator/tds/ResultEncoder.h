#pragma once
// Result sets on the wire: the COLMETADATA token for the engine's column descriptions and
// one ROW token per row, in the TDS 7.1 type forms SQL Server 2000 uses (fixed-size forms
// for NOT NULL columns, the nullable "N" forms otherwise; char data in the collation's
// code page, nchar data as UTF-16LE).
#include <cstdint>
#include <string>
#include <vector>

#include "Engine.h"
#include "tds/TdsBuffer.h"

namespace msde::tds {

class ResultEncoder {
 public:
  // Collations: the type forms of TDS 7.1 (false for a TDS 7.0 client).
  explicit ResultEncoder(const std::vector<ColumnInfo>& columns, bool collations = true);
  void WriteMetadata(Writer& w) const;
  // A value of a kind the column cannot take is sent as NULL (or zero where the column's
  // form has no NULL); a row with too few values is completed with NULLs.
  void WriteRow(Writer& w, const Row& row) const;

  struct WireColumn {
    ColumnInfo info;
    uint8_t wire_type = 0;
    uint32_t size = 0;  // bytes: fixed size, or the maximum for variable-size forms
  };
  void WriteValue(Writer& w, const WireColumn& column, const Value& value) const;

 private:
  std::vector<WireColumn> columns_;
  bool collations_;
};

// A RETURNVALUE token: an output parameter of a procedure call, its value in the nullable
// form of its type (text types excepted: they are never output parameters).
void WriteReturnValue(Writer& w, uint16_t ordinal, const std::string& name, ColumnInfo type,
                      const Value& value, bool collations = true);

}  // namespace msde::tds
