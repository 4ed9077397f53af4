#pragma once
// A field: one named, typed column of a dataset. It holds no value of its own; it reads and
// writes the value in its column of the dataset's current record and adds the data type with
// its conversions, the null rules, display and SQL text, comparison, name rules and the
// editing metadata and hooks. The fields of a dataset live in its TMFields collection, which
// also binds them to the columns of a query result.
#include <functional>
#include <memory>
#include <vector>

#include "data/FieldTypes.h"
#include "data/RecordLayout.h"
#include "foundation/Exception.h"
#include "foundation/Object.h"
#include "foundation/TdtTools.h"

namespace vandrel {

class TMCustomDataSet;
class TMCustomResultSet;
class TMFields;
class TMacSetOfIntegers;

class TMField : public TObject {
  VANDREL_CLASS(TMField, TObject)
 public:
  using TMFieldGetTextEvent =
      std::function<void(TMField* Sender, AnsiString& Text, bool DisplayText)>;
  using TMFieldSetTextEvent =
      std::function<void(TMField* Sender, const AnsiString& Value, int DropPos)>;
  using TMFieldNotifyEvent = std::function<void(TMField* Sender)>;
  using TMFieldSetDateTimeEvent = std::function<void(TMField* Sender, TDateTime Value)>;
  using TMFieldPrepareCalendarEvent =
      std::function<void(TMField* Sender, TMCalendarData& CalData)>;
  using TMFieldGetBoldDaysEvent =
      std::function<void(TMField* Sender, int Year, int Month, TMacSetOfIntegers* BoldDays)>;
  using TMFieldBtnClickEvent = std::function<void(TMField* Sender, bool& Down)>;
  using TMFieldGetCheckStateEvent =
      std::function<void(TMField* Sender, bool& AChecked, bool& AEnabled)>;
  using TMFieldGetEditStyleEvent =
      std::function<void(TMField* Sender, TMEditStyle& AEditStyle, bool& AAllowEdit)>;

  // Fields are created by their collection (TMFields::Add, FindOrAddDBField).
  explicit TMField(TMFields* Collection);
  ~TMField() override;
  TMField(const TMField&) = delete;
  TMField& operator=(const TMField&) = delete;

  // A free tag for the application.
  int Param = 0;
  // The result-set column the field is bound to, -1 for none.
  int DBIndex = -1;
  // Created by FindOrAddDBField for a column that had no field; destroyed at the next reset.
  bool AutoCreated = false;
  // Position in the dataset's record layout while it is active, -1 while it is closed; a
  // field whose DSIndex is negative reads as null and ignores writes.
  int DSIndex = -1;
  // The type of the bound column as the database reports it.
  TMFieldType DBType = mftString;
  // The decimals the bound column declares (a decimal column's scale), -1 when it declares
  // none; its numbers show as text with that many decimals.
  int DBScale = -1;
  TMAlignment Alignment = maLeftTop;
  // Carried for editors; the field itself never applies it.
  AnsiString EditMask;
  TMEditStyle EditStyle = mesEdit;
  bool AllowEdit = true;

  TMFieldGetTextEvent OnGetText;
  TMFieldSetTextEvent OnSetText;
  TMFieldNotifyEvent OnPrepareDropList;
  TMFieldSetDateTimeEvent OnSetDateTime;
  TMFieldPrepareCalendarEvent OnPrepareCalendar;
  TMFieldGetBoldDaysEvent OnGetBoldDays;
  TMFieldBtnClickEvent OnBtnClick;
  TMFieldGetCheckStateEvent OnGetCheckState;
  TMFieldGetEditStyleEvent OnGetEditStyle;

  // Properties with setters of their own.
  const AnsiString& GetFieldName() const { return FFieldName; }
  void SetName(const AnsiString& Name);
  TMFieldType GetDataType() const { return FDataType; }
  void SetType(TMFieldType Type);
  int GetEditLimit() const { return FEditLimit; }
  void SetEditLimit(int Value) { FEditLimit = Value < 0 ? 0 : Value; }
  int GetDropDownRows() const { return FDropDownRows; }
  void SetDropDownRows(int Value) { FDropDownRows = Value < 1 ? 1 : Value; }
  std::vector<AnsiString>& DropList() { return FDropList; }
  const std::vector<AnsiString>& DropList() const { return FDropList; }
  // Copies the given lines into the owned list; nothing for no list.
  void SetDropList(const std::vector<AnsiString>* Lines);

  // Access to the dataset.
  TMFields* GetFields() const { return FCollection; }
  TMCustomDataSet* GetDataSet() const;
  // Position in the collection, -1 outside one.
  int GetIndex() const { return FIndex; }
  // Raises 331 without dataset, 341 when it is not active, 343 when it is empty and
  // AllowEmpty is false.
  void CheckDataSet(bool AllowEmpty) const;
  // The type in which the dataset keeps this field's values.
  TMFieldType GetStorageType() const;

  // The current value. A value the dataset keeps in place in the field's type is read and
  // written inline; the rest goes out of line (below).
  AnsiString GetAsString() const;
  int GetAsInteger() const;
  double GetAsFloat() const;
  Extended GetAsExtended() const;
  TDateTime GetAsDateTime() const;
  void SetAsString(const AnsiString& Value);
  void SetAsInteger(int Value);
  void SetAsFloat(double Value);
  void SetAsExtended(Extended Value);
  void SetAsDateTime(TDateTime Value);
  // The date-time a null value reads as: 1970-01-01 00:00.
  static constexpr TDateTime NullDateTime = 25569.0;
  bool GetIsNull() const;
  void SetNull();

  // The value before this editing pass.
  bool GetWasNull() const;
  AnsiString GetPreviousString() const;
  int GetPreviousInteger() const;
  double GetPreviousFloat() const;
  Extended GetPreviousExtended() const;
  TDateTime GetPreviousDateTime() const;

  // Writes of a value already in the storage type: nothing when the current value is not
  // null and equal; otherwise the read-only check, the store and diaFieldChanged.
  void ChangeString(const AnsiString& Value);
  void ChangeInteger(int Value);
  void ChangeFloat(double Value);
  void ChangeExtended(Extended Value);
  void ChangeDateTime(TDateTime Value);
  // Tells the dataset's interfaces that this field changed.
  void Refresh();

  // SQL literal text of the current value ("null" when null).
  AnsiString ToStringSQL(int MaxLength) const;
  AnsiString ToIntegerSQL() const;
  AnsiString ToFloatSQL(int MinDecimals, int MaxDecimals) const;
  AnsiString ToExtendedSQL(int MinDecimals, int MaxDecimals) const;
  AnsiString ToDateTimeSQL(TdtFormat Format) const;

  // This field's current value against Other's.
  int Compare(const TMField* Other, bool CaseInsensitive) const;

  // Names.
  static AnsiString ValidateName(const AnsiString& Name);
  static bool IsTheSameName(const AnsiString& A, const AnsiString& B);
  bool HasName(const AnsiString& Name) const { return IsTheSameName(FFieldName, Name); }
  AnsiString GetDisplayName() const;
  AnsiString GetNamePath() const;

  // Editing hooks.
  AnsiString GetEditText() const;
  AnsiString GetDisplayText() const;
  void SetEditText(const AnsiString& Text);
  void SetFromDropList(const AnsiString& Text, int DropPos);
  void GetDropList(std::vector<AnsiString>& Strings, int& Rows);
  void SetFromDateTimeEditor(TDateTime Value);
  void PrepareCalendar(TMCalendarData& CalData);
  void GetBoldDays(int Year, int Month, TMacSetOfIntegers* BoldDays);
  void RiseBtnClickEvent(bool& Down);
  void GetCheckState(bool& AChecked, bool& AEnabled) const;
  void RetrieveEditStyle(TMEditStyle& Style, bool& AAllowEdit) const;

  // Copies the design settings of another field; any other source is refused.
  void Assign(const TObject* Source);

 private:
  friend class TMFields;

  // True when the field is bound; CheckDataSet has passed.
  bool IsBound() const { return DSIndex >= 0; }
  void NotifyChanged();
  TMCustomDataSet* CheckedDataSet(bool AllowEmpty) const;
  // This field's slot in the record the dataset keeps in place, with that record, when the
  // field is of Type there; none sends the caller the other ways.
  const TMRecordSlot* SlotInPlace(TMFieldType Type, unsigned char*& Record) const;
  // The value in place in Type, or NullValue; false when it is not in place.
  template <class T>
  bool ReadInPlace(TMFieldType Type, T NullValue, T& Value) const;
  // Stores the value in place unless the current one is not null and equal (with the read-only
  // check and the notification when the dataset needs them); false when it is not in place.
  template <class T>
  bool WriteInPlace(TMFieldType Type, const T& Value);
  // The read-only check, the store in place and diaFieldChanged.
  template <class T>
  void ChangeInPlace(unsigned char* Record, const TMRecordSlot& Slot, const T& Value);
  // The readers and writers for a value that is not in place: from a result set, or through
  // the dataset's storage protocol with the conversions.
  AnsiString StringOutOfPlace() const;
  int IntegerOutOfPlace() const;
  double FloatOutOfPlace() const;
  Extended ExtendedOutOfPlace() const;
  TDateTime DateTimeOutOfPlace() const;
  void SetStringOutOfPlace(const AnsiString& Value);
  void SetIntegerOutOfPlace(int Value);
  void SetFloatOutOfPlace(double Value);
  void SetExtendedOutOfPlace(Extended Value);
  void SetDateTimeOutOfPlace(TDateTime Value);
  // The result set this field's value is read from when the dataset reads its values straight
  // from one and the field is bound to a column of Type; none sends the caller the general way.
  TMCustomResultSet* DirectResults(TMFieldType Type) const;
  // The value in the result set's current row in Type, or NullValue; false when it is not
  // there.
  template <auto ReadRow, class T>
  bool ReadFromResults(TMFieldType Type, T NullValue, T& Value) const;
  // Stores a value of the storage type unless the current value is not null and equal.
  template <class V, class G, class S>
  void StoreIfChanged(TMCustomDataSet* DS, const V& Value, G Get, S Set);
  void StoreString(TMCustomDataSet* DS, const AnsiString& Value);
  void StoreInteger(TMCustomDataSet* DS, int Value);
  void StoreFloat(TMCustomDataSet* DS, double Value);
  void StoreExtended(TMCustomDataSet* DS, Extended Value);
  void StoreDateTime(TMCustomDataSet* DS, TDateTime Value);

  TMFields* FCollection;
  // While bound to a dataset that keeps its records in place: this field's slot there (kept
  // in the field's type), else none. A copy, so that a value in place is one load away.
  TMRecordSlot FSlot = TMRecordSlot::None();
  int FIndex = -1;
  AnsiString FFieldName;
  TMFieldType FDataType = mftString;
  int FEditLimit = 0;
  std::vector<AnsiString> FDropList;
  int FDropDownRows = 7;
};

class TMFields : public TObject {
  VANDREL_CLASS(TMFields, TObject)
 public:
  explicit TMFields(TMCustomDataSet* Owner);
  ~TMFields() override;
  TMFields(const TMFields&) = delete;
  TMFields& operator=(const TMFields&) = delete;

  TMCustomDataSet* GetOwner() const { return FOwner; }
  int GetCount() const { return static_cast<int>(FItems.size()); }
  // The field at Index; 336 when Index is out of range.
  TMField* GetFields(int Index) const;
  // Assigns Field's settings to the field at Index; 336 when Index is out of range.
  void SetFields(int Index, const TMField* Field);
  TMField* operator[](int Index) const { return GetFields(Index); }

  // Appends a new field with the default settings.
  TMField* Add();
  // Destroys the field at Index; a bound field first closes its dataset.
  void Delete(int Index);
  // Destroys every field.
  void Clear();
  // The collection's assignment: the fields are replaced by copies of Source's.
  void Assign(const TMFields* Source);

  // The first field with that name, or none.
  TMField* Find(const AnsiString& Name) const;
  // Find, raising 337 when there is none.
  TMField* ByName(const AnsiString& Name) const;
  // The first field with that DSIndex; 338 when there is none.
  TMField* ByDSIndex(int DSIndex) const;

  // Binding to a result set.
  TMField* FindOrAddDBField(const AnsiString& Name, TMFieldType Type, int DBIndex);
  void SetDBIndex(const AnsiString& Name, int DBIndex);
  void ResetDSIndexes();
  void SetDSIndexes();
  // Tells the dataset's interfaces that every field changed.
  void RefreshAll();

  AnsiString GetNamePath() const;

 private:
  friend class TMField;
  friend class TMCustomDataSet;

  void Renumber(int From);

  TMCustomDataSet* FOwner;
  std::vector<std::unique_ptr<TMField>> FItems;
  // Where the owner keeps the current record's values, published by the owner (from its
  // activation on, so that the fields find their slots when they are bound).
  TMDirectRecord FInPlace;
};

// --- The values in place, inline ---

inline const TMRecordSlot* TMField::SlotInPlace(TMFieldType Type, unsigned char*& Record) const {
  // The in-place way is laid out as the straight path; the other ways call out of line.
  if (FSlot.Type != Type) [[unlikely]]
    return nullptr;
  Record = FCollection->FInPlace.Record;
  if (Record == nullptr) [[unlikely]]
    return nullptr;
  return &FSlot;
}

template <class T>
inline bool TMField::ReadInPlace(TMFieldType Type, T NullValue, T& Value) const {
  unsigned char* R;
  const TMRecordSlot* S = SlotInPlace(Type, R);
  if (S == nullptr) return false;
  // A null value's slot holds zero bytes: a type whose null reads as zero needs no flag test.
  if (NullValue == T(0))
    Value = TMRecordLayout::Load<T>(R, *S);
  else
    Value = TMRecordLayout::IsNull(R, *S) ? NullValue : TMRecordLayout::Load<T>(R, *S);
  return true;
}

template <class T>
inline bool TMField::WriteInPlace(TMFieldType Type, const T& Value) {
  unsigned char* R;
  const TMRecordSlot* S = SlotInPlace(Type, R);
  if (S == nullptr) return false;
  // Unobserved, an equal value stored again leaves the record as it was.
  if (FCollection->FInPlace.Quiet)
    TMRecordLayout::Store(R, *S, Value);
  else if (!TMRecordLayout::Holds(R, *S, Value))
    ChangeInPlace(R, *S, Value);
  return true;
}

inline AnsiString TMField::GetAsString() const {
  unsigned char* R;
  // A null text's slot holds zero bytes, which read as "".
  if (const TMRecordSlot* S = SlotInPlace(mftString, R)) return TMRecordLayout::String(R, *S);
  return StringOutOfPlace();
}

inline int TMField::GetAsInteger() const {
  if (int V; ReadInPlace(mftInteger, 0, V)) return V;
  return IntegerOutOfPlace();
}

inline double TMField::GetAsFloat() const {
  if (double V; ReadInPlace(mftFloat, 0.0, V)) return V;
  return FloatOutOfPlace();
}

inline Extended TMField::GetAsExtended() const {
  if (Extended V; ReadInPlace(mftExtended, Extended(0), V)) return V;
  return ExtendedOutOfPlace();
}

inline TDateTime TMField::GetAsDateTime() const {
  if (TDateTime V; ReadInPlace(mftDateTime, NullDateTime, V)) return V;
  return DateTimeOutOfPlace();
}

inline void TMField::SetAsString(const AnsiString& Value) {
  if (!WriteInPlace(mftString, Value)) SetStringOutOfPlace(Value);
}

inline void TMField::SetAsInteger(int Value) {
  if (!WriteInPlace(mftInteger, Value)) SetIntegerOutOfPlace(Value);
}

inline void TMField::SetAsFloat(double Value) {
  if (!WriteInPlace(mftFloat, Value)) SetFloatOutOfPlace(Value);
}

inline void TMField::SetAsExtended(Extended Value) {
  if (!WriteInPlace(mftExtended, Value)) SetExtendedOutOfPlace(Value);
}

inline void TMField::SetAsDateTime(TDateTime Value) {
  if (!WriteInPlace(mftDateTime, Value)) SetDateTimeOutOfPlace(Value);
}

}  // namespace vandrel
