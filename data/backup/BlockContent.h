#pragma once
// What one block holds once decoded: the field definitions and the records, each value as
// the text it was stored as (in the program's UTF-8) or null.
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
  // Row by row, Fields.size() values per record.
  std::vector<std::string> Values;
  std::vector<char> Nulls;

  bool IsNull(int Record, int Field) const { return Nulls[Index(Record, Field)] != 0; }
  const std::string& Value(int Record, int Field) const { return Values[Index(Record, Field)]; }

  // Reads a block's bytes (Windows-1250 text); false when they are not a definitions line
  // and record lines of the stored form. Content holds what was read so far then.
  bool Parse(std::string_view Block);

 private:
  std::size_t Index(int Record, int Field) const { return static_cast<std::size_t>(Record) * Fields.size() + Field; }
};

}  // namespace vandrel
