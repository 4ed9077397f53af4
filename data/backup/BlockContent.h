#pragma once
// What one block holds once decoded: the field definitions and the records, each value as
// the text it was stored as (in the program's UTF-8) or null.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/FieldTypes.h"
#include "foundation/Exception.h"

namespace vandrel {

struct TMBackupFieldDef {
  AnsiString Name;
  TMFieldType DataType = mftString;
};

struct TMBackupBlockContent {
  std::vector<TMBackupFieldDef> Fields;
  int RecordCount = 0;

  bool IsNull(int Record, int Field) const { return FValues[Index(Record, Field)].Null; }
  // Valid until the next Parse.
  std::string_view Value(int Record, int Field) const {
    const TValue& V = FValues[Index(Record, Field)];
    return std::string_view(FText).substr(V.Offset, V.Length);
  }

  // Reads a block's bytes (Windows-1250 text); false when they are not a definitions line
  // and record lines of the stored form. Content holds what was read so far then.
  bool Parse(std::string_view Block);

 private:
  // Where a value lies in the block's text once un-escaped (values are un-escaped where
  // they were read, so a block's values take no memory of their own).
  struct TValue {
    std::uint32_t Offset;
    std::uint32_t Length : 31;
    std::uint32_t Null : 1;
  };
  // The values of the record line at [Start, Start + Size) of the text; false when they are
  // not one stored value for each field.
  bool ReadRecord(std::size_t Start, std::size_t Size);
  std::size_t Index(int Record, int Field) const { return static_cast<std::size_t>(Record) * Fields.size() + Field; }

  std::string FText;
  std::vector<TValue> FValues;
};

}  // namespace vandrel
