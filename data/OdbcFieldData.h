#pragma once
// One result column or one update parameter over ODBC: its SQL type, the library type it
// maps to, the C type bound, and the bound buffers of a whole rowset (20 elements with
// their length indicators). It converts element contents into library values, reading
// either its own live buffers or a copy of them kept by a rowset cache, and stores values
// into an element for a parameter array.
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "data/FieldTypes.h"
#include "foundation/Exception.h"
#include "foundation/Object.h"

namespace vandrel {

class TMParam;
class TMField;

// Rows per fetch and per parameter array.
inline constexpr int kOdbcRowsetSize = 20;

class TMOdbcFieldData : public TObject {
  VANDREL_CLASS(TMOdbcFieldData, TObject)
 public:
  // Raises EMOdbcError 413 for an SQL type the library does not map. GuidAsText maps a
  // uniqueidentifier column to its 36 characters of text instead. An Unsigned 32- or
  // 64-bit integer column travels as decimal text, so that values above the signed range
  // keep their value.
  TMOdbcFieldData(const AnsiString& Name, SQLSMALLINT DecimalDigits, SQLULEN ColumnSize, SQLSMALLINT SqlType,
                  bool GuidAsText = false, bool Unsigned = false);
  TMOdbcFieldData(const TMOdbcFieldData&) = delete;
  TMOdbcFieldData& operator=(const TMOdbcFieldData&) = delete;

  const AnsiString& GetName() const { return FName; }
  SQLSMALLINT GetSqlType() const { return FSqlType; }
  int GetColumnSize() const { return FColumnSize; }
  int GetDecimalDigits() const { return FDecimalDigits; }
  // Buffer length of one character element; 0 for the fixed-size types.
  int GetElementSize() const { return FElementSize; }
  // Bytes between two elements of the data buffer.
  int GetStride() const { return FStride; }
  TMFieldType GetFieldType() const { return FFieldType; }
  SQLSMALLINT GetCType() const { return FCType; }
  // True when values travel as decimal text (numeric, decimal and 64-bit integer columns).
  bool IsDecimalText() const { return FDecimalText; }
  // The decimals the column declares: its scale for a decimal-text column, else -1.
  int GetScale() const { return FDecimalText ? std::max(FDecimalDigits, 0) : -1; }

  unsigned char* GetData() { return FData.get(); }
  const unsigned char* GetData() const { return FData.get(); }
  size_t GetDataSize() const { return FDataSize; }
  SQLLEN* GetIndicators() { return FIndicators; }
  const SQLLEN* GetIndicators() const { return FIndicators; }

  // Element Row of the live buffers: its bytes, and its indicator in Ind.
  const unsigned char* LiveElement(int Row, SQLLEN& Ind) const {
    Ind = FIndicators[Row];
    return FData.get() + static_cast<size_t>(Row) * FStride;
  }
  // The bytes of a character element's value: at most ElementSize - 1, up to the first NUL
  // (a longer value was cut by the driver); a rowset copy keeps exactly these.
  size_t TextBytes(const unsigned char* E, SQLLEN Ind) const;

  // Reading one element, from the live buffers or from a rowset copy: E its bytes, Ind
  // its indicator (SQL_NULL_DATA for null; for a character element its length in bytes).
  static bool IsNull(const unsigned char* /*E*/, SQLLEN Ind) { return Ind == SQL_NULL_DATA; }
  AnsiString GetString(const unsigned char* E, SQLLEN Ind) const;
  // Inline for a value of the column's own type, as nearly every value is read.
  int GetInteger(const unsigned char* E, SQLLEN Ind) const {
    if (FCType == SQL_C_SLONG && !IsNull(E, Ind)) return LoadElement<SQLINTEGER>(E);
    return ConvertedInteger(E, Ind);
  }
  double GetFloat(const unsigned char* E, SQLLEN Ind) const {
    if (FCType == SQL_C_DOUBLE && !IsNull(E, Ind)) return LoadElement<SQLDOUBLE>(E);
    return ConvertedFloat(E, Ind);
  }
  Extended GetExtended(const unsigned char* E, SQLLEN Ind) const;
  TDateTime GetDateTime(const unsigned char* E, SQLLEN Ind) const;

  // Storing into element Row of the live buffers (parameter arrays).
  void StoreNull(int Row) { FIndicators[Row] = SQL_NULL_DATA; }
  void StoreString(int Row, const AnsiString& Value);
  void StoreInteger(int Row, int Value);
  void StoreFloat(int Row, double Value);
  void StoreExtended(int Row, Extended Value);
  void StoreDateTime(int Row, TDateTime Value);

  // Used by the update executor only: the marker's parameter and the field that supplies
  // its values.
  TMParam* Param = nullptr;
  TMField* ValueField = nullptr;

 private:
  // A value of type T at E, which a rowset copy does not align.
  template <class T>
  static T LoadElement(const unsigned char* E) {
    T Value;
    std::memcpy(&Value, E, sizeof Value);
    return Value;
  }
  int ConvertedInteger(const unsigned char* E, SQLLEN Ind) const;
  double ConvertedFloat(const unsigned char* E, SQLLEN Ind) const;
  // The text of a character element, at most ColumnSize characters.
  AnsiString ElementText(const unsigned char* E, SQLLEN Ind) const;
  void StoreText(int Row, const AnsiString& Text, SQLLEN Indicator);
  int DbDecimals() const;

  AnsiString FName;
  SQLSMALLINT FSqlType;
  int FColumnSize;
  int FDecimalDigits;
  int FElementSize = 0;
  int FStride = 0;
  // Characters a value keeps: the column size for character columns (text is UTF-8, so
  // an element holds up to four bytes per character), no limit beyond the element else.
  size_t FMaxChars = static_cast<size_t>(-1);
  TMFieldType FFieldType = mftString;
  SQLSMALLINT FCType = SQL_C_CHAR;
  bool FDecimalText = false;
  size_t FDataSize = 0;
  std::unique_ptr<unsigned char[]> FData;
  SQLLEN FIndicators[kOdbcRowsetSize] = {};
};

}  // namespace vandrel
