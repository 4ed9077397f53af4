#pragma once
// Parameters of a statement: a macro's value text is pasted into the SQL text before it is
// sent; a real parameter (input, output, input-output) is bound to an ODBC marker by the
// update executor. Values are held as text whatever their type. The list follows the SQL
// text: AdjustToQueryText scans it for ":name" markers and keeps the collection in step.
#include <cstdint>
#include <memory>
#include <vector>

#include "data/FieldTypes.h"
#include "foundation/Exception.h"
#include "foundation/Object.h"

namespace vandrel {

class TMCustomDataSet;
class TMParams;
class TMacListOfIntegers;

enum TMParamOption : std::uint8_t {
  mpoMacro = 0,
  mpoInput = 1,
  mpoOutput = 2,
  mpoInputOutput = 3,
};

class TMParam : public TObject {
  VANDREL_CLASS(TMParam, TObject)
 public:
  explicit TMParam(TMParams* Collection = nullptr) : FCollection(Collection) {}

  // Setters turn a macro into an input parameter, set DataType and clear the null flag.
  void SetAsString(const AnsiString& Value);
  void SetAsInteger(int Value);
  void SetAsFloat(double Value);
  void SetAsExtended(Extended Value);
  void SetAsDateTime(TDateTime Value);
  void SetNull();

  // Getters convert the value text; they look neither at the null flag nor at DataType.
  const AnsiString& GetAsString() const { return FValue; }
  int GetAsInteger() const;
  double GetAsFloat() const;
  Extended GetAsExtended() const;
  TDateTime GetAsDateTime() const;
  bool GetIsNull() const { return FIsNull; }

  const AnsiString& GetName() const { return FName; }
  void SetName(const AnsiString& Value);
  TMFieldType GetDataType() const { return FDataType; }
  void SetDataType(TMFieldType Value) { FDataType = Value; }
  TMParamOption GetParamOption() const { return FParamOption; }
  void SetParamOption(TMParamOption Value) { FParamOption = Value; }
  const AnsiString& GetTypeTable() const { return FTypeTable; }
  void SetTypeTable(const AnsiString& Value);
  const AnsiString& GetTypeField() const { return FTypeField; }
  void SetTypeField(const AnsiString& Value);
  TMCustomDataSet* GetValueDataSet() const { return FValueDataSet; }
  void SetValueDataSet(TMCustomDataSet* Value) { FValueDataSet = Value; }

  bool HasName(const AnsiString& Name) const { return IsTheSameName(FName, Name); }
  TMParams* GetParams() const { return FCollection; }
  int GetIndex() const;
  AnsiString GetDisplayName() const;
  AnsiString GetNamePath() const;
  void Assign(const TObject* Source);

  static bool IsFirstNameChar(char C);
  static bool IsAnotherNameChar(char C);
  // The trimmed name; raises 381 for a character outside letters, digits and "_", 382 for
  // a leading digit. The empty name is valid.
  static AnsiString ValidateName(const AnsiString& Name);
  static bool IsTheSameName(const AnsiString& A, const AnsiString& B);

 private:
  friend class TMParams;
  void UsedAsParameter();

  TMParams* FCollection;
  bool FIsNull = true;
  AnsiString FValue;
  AnsiString FName;
  TMFieldType FDataType = mftString;
  TMParamOption FParamOption = mpoMacro;
  AnsiString FTypeTable;
  AnsiString FTypeField;
  TMCustomDataSet* FValueDataSet = nullptr;
};

class TMParams : public TObject {
  VANDREL_CLASS(TMParams, TObject)
 public:
  explicit TMParams(TObject* Owner = nullptr) : FOwner(Owner) {}
  TMParams(const TMParams&) = delete;
  TMParams& operator=(const TMParams&) = delete;

  TObject* GetOwner() const { return FOwner; }
  int GetCount() const { return static_cast<int>(FItems.size()); }
  // Both raise 385 for an index outside the collection; SetParams assigns P to item I.
  TMParam* GetParams(int Index) const;
  void SetParams(int Index, const TMParam* P);
  TMParam* Find(const AnsiString& Name) const;
  TMParam* ByName(const AnsiString& Name) const;
  TMParam* Add();
  void Delete(int Index);
  void Clear() { FItems.clear(); }
  int IndexOf(const TMParam* P) const;
  // Copies the items of Source one by one (names, kinds, types, values).
  void Assign(const TMParams& Source);
  AnsiString GetNamePath() const;

  // Scans Text for markers, returns the text to send (macros expanded, real parameters as
  // "?" or, with KeepNames, as ":name") and brings the collection in line with the names
  // found. Indexes, when given, receives the index of the parameter of each real marker.
  AnsiString AdjustToQueryText(const AnsiString& Text, TMacListOfIntegers* Indexes, bool KeepNames);

 private:
  friend class TMParam;
  TObject* FOwner;
  std::vector<std::unique_ptr<TMParam>> FItems;
};

}  // namespace vandrel
