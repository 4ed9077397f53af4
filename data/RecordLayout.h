#pragma once
// The record of an in-memory dataset: one block holding every field's value in place (an
// integer in 4 bytes, a float or date-time in 8, an extended in 16, a text of up to 15
// bytes in its 16-byte slot and a longer one in one allocation of its own), one null flag
// bit per field and the user data pointer. A zero-filled block is a record whose values
// are all null; a null value reads as "", 0, 0.0, 0.0 and 0.0.
#include <cstdint>
#include <string_view>
#include <vector>

#include "data/FieldTypes.h"
#include "data/ValueCell.h"
#include "foundation/Exception.h"

namespace vandrel {

class TMRecordLayout {
 public:
  // Places the fields of these types (a type outside the five is kept as text).
  void Build(const TMFieldType* Types, int Count);
  // Bytes of a record: a multiple of 16.
  std::size_t GetSize() const { return FSize; }

  // True when field I is laid out and kept in Type.
  bool Holds(int I, TMFieldType Type) const {
    return I >= 0 && static_cast<std::size_t>(I) < FTypes.size() && FTypes[I] == Type;
  }
  bool IsNull(const unsigned char* R, int I) const { return (R[FFlags + I / 8] & (1u << (I % 8))) == 0; }
  // Empties the value (a long text is freed).
  void SetNull(unsigned char* R, int I) const noexcept;
  // Frees what the record's values hold outside the block.
  void FreeValues(unsigned char* R) const noexcept;

  AnsiString GetString(const unsigned char* R, int I) const { return AnsiString(GetStringView(R, I)); }
  // The text in place, valid until the value changes.
  std::string_view GetStringView(const unsigned char* R, int I) const;
  int GetInteger(const unsigned char* R, int I) const { return Load<int>(R, I); }
  double GetFloat(const unsigned char* R, int I) const { return Load<double>(R, I); }
  Extended GetExtended(const unsigned char* R, int I) const { return Load<Extended>(R, I); }
  TDateTime GetDateTime(const unsigned char* R, int I) const { return Load<TDateTime>(R, I); }

  void SetString(unsigned char* R, int I, const AnsiString& Value) const;
  void SetInteger(unsigned char* R, int I, int Value) const { Store(R, I, Value); }
  void SetFloat(unsigned char* R, int I, double Value) const { Store(R, I, Value); }
  void SetExtended(unsigned char* R, int I, Extended Value) const { Store(R, I, Value); }
  void SetDateTime(unsigned char* R, int I, TDateTime Value) const { Store(R, I, Value); }

  // The value as a value cell of its own type (none for null), for the conversions that
  // work on cells; and back from such a cell (none makes it null).
  void ToCell(const unsigned char* R, int I, TMValueCell& Cell) const;
  void FromCell(unsigned char* R, int I, TMValueCell Cell) const;

  void* GetData(const unsigned char* R) const;
  void SetData(unsigned char* R, void* D) const;

 private:
  template <class T>
  T Load(const unsigned char* R, int I) const {
    return *reinterpret_cast<const T*>(R + FOffsets[I]);
  }
  template <class T>
  void Store(unsigned char* R, int I, T Value) const {
    *reinterpret_cast<T*>(R + FOffsets[I]) = Value;
    MarkSet(R, I);
  }
  void MarkSet(unsigned char* R, int I) const { R[FFlags + I / 8] |= static_cast<unsigned char>(1u << (I % 8)); }

  std::vector<TMFieldType> FTypes;
  std::vector<std::uint32_t> FOffsets;
  std::size_t FData = 0;   // the user data pointer
  std::size_t FFlags = 0;  // the null flags: bit I set while field I holds a value
  std::size_t FSize = 0;
};

}  // namespace vandrel
