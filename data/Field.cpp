#include "data/Field.h"

#include <string>

#include "data/CustomDataSet.h"
#include "data/DataError.h"
#include "data/DbLink.h"
#include "data/FieldConverters.h"
#include "data/RecordLayout.h"
#include "foundation/ClassChain.h"
#include "foundation/TfTools.h"
#include "foundation/Trim.h"
#include "foundation/TxTools.h"
#include "foundation/TxfTools.h"
#include "platform/base/Collation.h"

namespace vandrel {

using namespace fieldconv;

namespace {

// Reads the stored value of one field in its storage type, from the current values of the
// dataset's current record or from the previous ones.
struct TMStoredValue {
  TMCustomDataSet* DS;
  int DSIndex;
  int DBIndex;
  bool Previous;

  bool IsNull() const {
    return Previous ? DS->WasPreviousFieldNull(DSIndex, DBIndex)
                    : DS->IsCurrentFieldNull(DSIndex, DBIndex);
  }
  AnsiString String() const {
    return Previous ? DS->GetPreviousStringFieldValue(DSIndex, DBIndex)
                    : DS->GetCurrentStringFieldValue(DSIndex, DBIndex);
  }
  int Integer() const {
    return Previous ? DS->GetPreviousIntegerFieldValue(DSIndex, DBIndex)
                    : DS->GetCurrentIntegerFieldValue(DSIndex, DBIndex);
  }
  double Float() const {
    return Previous ? DS->GetPreviousFloatFieldValue(DSIndex, DBIndex)
                    : DS->GetCurrentFloatFieldValue(DSIndex, DBIndex);
  }
  Extended Ext() const {
    return Previous ? DS->GetPreviousExtendedFieldValue(DSIndex, DBIndex)
                    : DS->GetCurrentExtendedFieldValue(DSIndex, DBIndex);
  }
  TDateTime DateTime() const {
    return Previous ? DS->GetPreviousDateTimeFieldValue(DSIndex, DBIndex)
                    : DS->GetCurrentDateTimeFieldValue(DSIndex, DBIndex);
  }
};

// Conversions of a stored value of type S into the requested type; null was handled before.
AnsiString AsString(const TMStoredValue& V, TMFieldType S, const AnsiString& Name) {
  switch (S) {
    case mftInteger: return IntegerToString(V.Integer());
    case mftFloat: return FloatToString(V.Float(), Name);
    case mftExtended: return ExtendedToString(V.Ext(), Name);
    case mftDateTime: return DateTimeToString(V.DateTime(), Name);
    default: return V.String();
  }
}

// The text of a field's stored value: a number read from a result column as the column
// holds it, any other value as AsString gives it.
AnsiString FieldText(const TMStoredValue& V, const TMField& F) {
  const TMFieldType S = F.GetStorageType();
  if (F.DBIndex >= 0 && S == mftFloat) return ColumnFloatToString(V.Float(), F.DBScale, F.GetFieldName());
  if (F.DBIndex >= 0 && S == mftExtended) return ColumnExtendedToString(V.Ext(), F.DBScale, F.GetFieldName());
  return AsString(V, S, F.GetFieldName());
}

int AsInteger(const TMStoredValue& V, TMFieldType S, const AnsiString& Name) {
  switch (S) {
    case mftInteger: return V.Integer();
    case mftFloat: return FloatToInteger(V.Float(), Name);
    case mftExtended: return ExtendedToInteger(V.Ext(), Name);
    case mftDateTime: return DateTimeToInteger(V.DateTime(), Name);
    default: return StringToInteger(V.String(), Name);
  }
}

double AsFloat(const TMStoredValue& V, TMFieldType S, const AnsiString& Name) {
  switch (S) {
    case mftInteger: return IntegerToFloat(V.Integer());
    case mftFloat: return V.Float();
    case mftExtended: return ExtendedToFloat(V.Ext());
    case mftDateTime: return DateTimeToFloat(V.DateTime());
    default: return StringToFloat(V.String(), Name);
  }
}

Extended AsExtended(const TMStoredValue& V, TMFieldType S, const AnsiString& Name) {
  switch (S) {
    case mftInteger: return IntegerToExtended(V.Integer());
    case mftFloat: return FloatToExtended(V.Float());
    case mftExtended: return V.Ext();
    case mftDateTime: return DateTimeToExtended(V.DateTime());
    default: return StringToExtended(V.String(), Name);
  }
}

TDateTime AsDateTime(const TMStoredValue& V, TMFieldType S, const AnsiString& Name) {
  switch (S) {
    case mftInteger: return IntegerToDateTime(V.Integer());
    case mftFloat: return FloatToDateTime(V.Float());
    case mftExtended: return ExtendedToDateTime(V.Ext());
    case mftDateTime: return V.DateTime();
    default: return StringFieldToDateTime(V.String(), Name);
  }
}

// A field's value read in the requested type: NullValue when the field is unbound or the
// stored value is null, otherwise the stored value converted by Convert.
template <class T, class Convert>
T ReadStored(TMCustomDataSet* DS, const TMField& Field, bool Previous, T NullValue,
             Convert AsRequested) {
  const TMStoredValue V{DS, Field.DSIndex, Field.DBIndex, Previous};
  if (Field.DSIndex < 0 || V.IsNull()) return NullValue;
  return AsRequested(V, Field.GetStorageType(), Field.GetFieldName());
}

template <class T>
int Sign(T A, T B) {
  return A > B ? 1 : (A < B ? -1 : 0);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TMField

TMField::TMField(TMFields* Collection) : FCollection(Collection) {}

TMField::~TMField() = default;

void TMField::SetDropList(const std::vector<AnsiString>* Lines) {
  if (Lines != nullptr && Lines != &FDropList) FDropList = *Lines;
}

TMCustomDataSet* TMField::GetDataSet() const {
  return FCollection != nullptr ? FCollection->GetOwner() : nullptr;
}

// Out of line, so that the check every value read makes stays a few instructions.
[[noreturn, gnu::noinline, gnu::cold]] static void RaiseDataSetError(int Code) { throw EMDataError(Code, ""); }

TMCustomDataSet* TMField::CheckedDataSet(bool AllowEmpty) const {
  TMCustomDataSet* DS = GetDataSet();
  if (DS == nullptr) [[unlikely]]
    RaiseDataSetError(dterr::NullDataSet);
  if (!DS->GetActive()) [[unlikely]]
    RaiseDataSetError(dterr::NotActive);
  if (!AllowEmpty && DS->GetIsEmpty()) [[unlikely]]
    RaiseDataSetError(dterr::Empty);
  return DS;
}

void TMField::CheckDataSet(bool AllowEmpty) const { CheckedDataSet(AllowEmpty); }

// A dataset that reads straight from a result set keeps values in DBType, so a value the
// result set has in its current row is what the general way reads; without a current row
// the general way answers (and raises for an empty dataset).
[[gnu::always_inline]] inline TMCustomResultSet* TMField::DirectResults(TMFieldType Type) const {
  if (DBType != Type || DBIndex < 0 || DSIndex < 0 || FCollection == nullptr) return nullptr;
  const TMCustomDataSet* DS = FCollection->GetOwner();
  return DS != nullptr ? DS->GetDirectResults() : nullptr;
}

template <auto ReadRow, class T>
inline bool TMField::ReadFromResults(TMFieldType Type, T NullValue, T& Value) const {
  TMCustomResultSet* Rows = DirectResults(Type);
  if (Rows == nullptr) return false;
  switch ((Rows->*ReadRow)(DBIndex, Value)) {
    case rsValue: return true;
    case rsNull: Value = NullValue; return true;
    case rsNoRow: return false;
  }
  return false;
}

// A change of a value in place: the dataset is open with a current record (it published it).
template <class T>
void TMField::ChangeInPlace(unsigned char* Record, const TMRecordSlot& Slot, const T& Value) {
  TMCustomDataSet* DS = FCollection->GetOwner();
  DS->CheckNotReadOnly();
  TMRecordLayout::Store(Record, Slot, Value);
  DS->NotifyInterfaces(diaFieldChanged, FIndex);
}

template void TMField::ChangeInPlace(unsigned char*, const TMRecordSlot&, const AnsiString&);
template void TMField::ChangeInPlace(unsigned char*, const TMRecordSlot&, const int&);
template void TMField::ChangeInPlace(unsigned char*, const TMRecordSlot&, const double&);
template void TMField::ChangeInPlace(unsigned char*, const TMRecordSlot&, const Extended&);

TMFieldType TMField::GetStorageType() const {
  TMCustomDataSet* DS = GetDataSet();
  return DS != nullptr && DS->UseFieldDBTypes() ? DBType : FDataType;
}

// --- Reading ---

AnsiString TMField::StringOutOfPlace() const {
  AnsiString Text;  // every way returns this one, so it is made in the caller's place
  // A text or integer column's text, read straight from the result set.
  if (TMCustomResultSet* Rows = DBType == mftString || DBType == mftInteger ? DirectResults(DBType) : nullptr) {
    TMReadState State;
    if (DBType == mftString) {
      State = Rows->ReadNullOrString(DBIndex, Text);
    } else if (int V; (State = Rows->ReadNullOrInteger(DBIndex, V)) == rsValue) {
      Text = IntegerToString(V);
    }
    if (State != rsNoRow) return Text;
  }
  Text = ReadStored(CheckedDataSet(false), *this, false, AnsiString(),
                    [this](const TMStoredValue& V, TMFieldType, const AnsiString&) { return FieldText(V, *this); });
  return Text;
}

int TMField::IntegerOutOfPlace() const {
  if (int V; ReadFromResults<&TMCustomResultSet::ReadNullOrInteger>(mftInteger, 0, V)) return V;
  return ReadStored(CheckedDataSet(false), *this, false, 0, AsInteger);
}

double TMField::FloatOutOfPlace() const {
  if (double V; ReadFromResults<&TMCustomResultSet::ReadNullOrFloat>(mftFloat, 0.0, V)) return V;
  return ReadStored(CheckedDataSet(false), *this, false, 0.0, AsFloat);
}

Extended TMField::ExtendedOutOfPlace() const {
  if (Extended V; ReadFromResults<&TMCustomResultSet::ReadNullOrExtended>(mftExtended, Extended(0), V)) return V;
  return ReadStored(CheckedDataSet(false), *this, false, Extended(0), AsExtended);
}

TDateTime TMField::DateTimeOutOfPlace() const {
  if (TDateTime V; ReadFromResults<&TMCustomResultSet::ReadNullOrDateTime>(mftDateTime, NullDateTime, V)) return V;
  return ReadStored(CheckedDataSet(false), *this, false, NullDateTime, AsDateTime);
}

bool TMField::GetIsNull() const {
  if (TMCustomResultSet* Rows = DirectResults(DBType))
    if (const TMReadState State = Rows->ReadNullState(DBIndex); State != rsNoRow) return State == rsNull;
  unsigned char* R;
  if (const TMRecordSlot* S = SlotInPlace(FDataType, R)) return TMRecordLayout::IsNull(R, *S);
  TMStoredValue V{CheckedDataSet(false), DSIndex, DBIndex, false};
  return !IsBound() || V.IsNull();
}

bool TMField::GetWasNull() const {
  TMStoredValue V{CheckedDataSet(true), DSIndex, DBIndex, true};
  return !IsBound() || V.IsNull();
}

AnsiString TMField::GetPreviousString() const {
  return ReadStored(CheckedDataSet(true), *this, true, AnsiString(),
                    [this](const TMStoredValue& V, TMFieldType, const AnsiString&) { return FieldText(V, *this); });
}

int TMField::GetPreviousInteger() const {
  return ReadStored(CheckedDataSet(true), *this, true, 0, AsInteger);
}

double TMField::GetPreviousFloat() const {
  return ReadStored(CheckedDataSet(true), *this, true, 0.0, AsFloat);
}

Extended TMField::GetPreviousExtended() const {
  return ReadStored(CheckedDataSet(true), *this, true, Extended(0), AsExtended);
}

TDateTime TMField::GetPreviousDateTime() const {
  return ReadStored(CheckedDataSet(true), *this, true, NullDateTime, AsDateTime);
}

// --- Writing ---
// Each setter converts first, so a failed conversion leaves the stored value unchanged.

void TMField::SetStringOutOfPlace(const AnsiString& Value) {
  TMCustomDataSet* DS = CheckedDataSet(false);
  if (!IsBound()) return;
  switch (GetStorageType()) {
    case mftInteger: StoreInteger(DS, StringToInteger(Value, FFieldName)); break;
    case mftFloat: StoreFloat(DS, StringToFloat(Value, FFieldName)); break;
    case mftExtended: StoreExtended(DS, StringToExtended(Value, FFieldName)); break;
    case mftDateTime: StoreDateTime(DS, StringToDateTime(Value, FFieldName)); break;
    default: StoreString(DS, Value); break;
  }
}

void TMField::SetIntegerOutOfPlace(int Value) {
  TMCustomDataSet* DS = CheckedDataSet(false);
  if (!IsBound()) return;
  switch (GetStorageType()) {
    case mftInteger: StoreInteger(DS, Value); break;
    case mftFloat: StoreFloat(DS, IntegerToFloat(Value)); break;
    case mftExtended: StoreExtended(DS, IntegerToExtended(Value)); break;
    case mftDateTime: StoreDateTime(DS, IntegerToDateTime(Value)); break;
    default: StoreString(DS, IntegerToString(Value)); break;
  }
}

void TMField::SetFloatOutOfPlace(double Value) {
  TMCustomDataSet* DS = CheckedDataSet(false);
  if (!IsBound()) return;
  switch (GetStorageType()) {
    case mftInteger: StoreInteger(DS, FloatToInteger(Value, FFieldName)); break;
    case mftFloat: StoreFloat(DS, Value); break;
    case mftExtended: StoreExtended(DS, FloatToExtended(Value)); break;
    case mftDateTime: StoreDateTime(DS, FloatToDateTime(Value)); break;
    default: StoreString(DS, FloatToString(Value, FFieldName)); break;
  }
}

void TMField::SetExtendedOutOfPlace(Extended Value) {
  TMCustomDataSet* DS = CheckedDataSet(false);
  if (!IsBound()) return;
  switch (GetStorageType()) {
    case mftInteger: StoreInteger(DS, ExtendedToInteger(Value, FFieldName)); break;
    case mftFloat: StoreFloat(DS, ExtendedToFloat(Value)); break;
    case mftExtended: StoreExtended(DS, Value); break;
    case mftDateTime: StoreDateTime(DS, ExtendedToDateTime(Value)); break;
    default: StoreString(DS, ExtendedToString(Value, FFieldName)); break;
  }
}

void TMField::SetDateTimeOutOfPlace(TDateTime Value) {
  TMCustomDataSet* DS = CheckedDataSet(false);
  if (!IsBound()) return;
  switch (GetStorageType()) {
    case mftInteger: StoreInteger(DS, DateTimeToInteger(Value, FFieldName)); break;
    case mftFloat: StoreFloat(DS, DateTimeToFloat(Value)); break;
    case mftExtended: StoreExtended(DS, DateTimeToExtended(Value)); break;
    case mftDateTime: StoreDateTime(DS, Value); break;
    default: StoreString(DS, DateTimeToStringField(Value, FFieldName)); break;
  }
}

void TMField::SetNull() {
  TMCustomDataSet* DS = CheckedDataSet(false);
  if (!IsBound() || DS->IsCurrentFieldNull(DSIndex, DBIndex)) return;
  DS->CheckNotReadOnly();
  DS->SetCurrentFieldNull(DSIndex, DBIndex);
  NotifyChanged();
}

// The Change operations store only a real change: an equal value passes without the
// read-only check and without a notification.

template <class V, class G, class S>
void TMField::StoreIfChanged(TMCustomDataSet* DS, const V& Value, G Get, S Set) {
  if (!DS->IsCurrentFieldNull(DSIndex, DBIndex) && (DS->*Get)(DSIndex, DBIndex) == Value) return;
  DS->CheckNotReadOnly();
  (DS->*Set)(DSIndex, DBIndex, Value);
  NotifyChanged();
}

void TMField::StoreString(TMCustomDataSet* DS, const AnsiString& Value) {
  StoreIfChanged(DS, Value, &TMCustomDataSet::GetCurrentStringFieldValue,
                 &TMCustomDataSet::SetCurrentStringFieldValue);
}

void TMField::StoreInteger(TMCustomDataSet* DS, int Value) {
  StoreIfChanged(DS, Value, &TMCustomDataSet::GetCurrentIntegerFieldValue,
                 &TMCustomDataSet::SetCurrentIntegerFieldValue);
}

void TMField::StoreFloat(TMCustomDataSet* DS, double Value) {
  StoreIfChanged(DS, Value, &TMCustomDataSet::GetCurrentFloatFieldValue,
                 &TMCustomDataSet::SetCurrentFloatFieldValue);
}

void TMField::StoreExtended(TMCustomDataSet* DS, Extended Value) {
  StoreIfChanged(DS, Value, &TMCustomDataSet::GetCurrentExtendedFieldValue,
                 &TMCustomDataSet::SetCurrentExtendedFieldValue);
}

void TMField::StoreDateTime(TMCustomDataSet* DS, TDateTime Value) {
  StoreIfChanged(DS, Value, &TMCustomDataSet::GetCurrentDateTimeFieldValue,
                 &TMCustomDataSet::SetCurrentDateTimeFieldValue);
}

void TMField::ChangeString(const AnsiString& Value) {
  TMCustomDataSet* DS = CheckedDataSet(false);
  if (IsBound()) StoreString(DS, Value);
}

void TMField::ChangeInteger(int Value) {
  TMCustomDataSet* DS = CheckedDataSet(false);
  if (IsBound()) StoreInteger(DS, Value);
}

void TMField::ChangeFloat(double Value) {
  TMCustomDataSet* DS = CheckedDataSet(false);
  if (IsBound()) StoreFloat(DS, Value);
}

void TMField::ChangeExtended(Extended Value) {
  TMCustomDataSet* DS = CheckedDataSet(false);
  if (IsBound()) StoreExtended(DS, Value);
}

void TMField::ChangeDateTime(TDateTime Value) {
  TMCustomDataSet* DS = CheckedDataSet(false);
  if (IsBound()) StoreDateTime(DS, Value);
}

void TMField::NotifyChanged() {
  if (TMCustomDataSet* DS = GetDataSet()) DS->NotifyInterfaces(diaFieldChanged, FIndex);
}

void TMField::Refresh() { NotifyChanged(); }

// --- SQL text ---

AnsiString TMField::ToStringSQL(int MaxLength) const {
  if (GetIsNull()) return "null";
  return TxTools(GetAsString()).ToDBField(MaxLength);
}

AnsiString TMField::ToIntegerSQL() const {
  if (GetIsNull()) return "null";
  return std::to_string(GetAsInteger());
}

AnsiString TMField::ToFloatSQL(int MinDecimals, int MaxDecimals) const {
  if (GetIsNull()) return "null";
  return TfTools(GetAsFloat()).ToDBField(MinDecimals, MaxDecimals);
}

AnsiString TMField::ToExtendedSQL(int MinDecimals, int MaxDecimals) const {
  if (GetIsNull()) return "null";
  return TxfTools(GetAsExtended()).ToDBField(MinDecimals, MaxDecimals);
}

AnsiString TMField::ToDateTimeSQL(TdtFormat Format) const {
  if (GetIsNull()) return "null";
  return TdtTools(GetAsDateTime()).ToDBField(Format);
}

// --- Comparison ---

int TMField::Compare(const TMField* Other, bool CaseInsensitive) const {
  const bool ThisNull = GetIsNull();
  const bool OtherNull = Other->GetIsNull();
  if (ThisNull || OtherNull) return ThisNull == OtherNull ? 0 : (ThisNull ? -1 : 1);
  const TMFieldType A = FDataType;
  const TMFieldType B = Other->FDataType;
  auto IsReal = [](TMFieldType T) { return T == mftFloat || T == mftExtended || T == mftDateTime; };
  if (A == mftString || B == mftString) {
    const AnsiString SA = GetAsString();
    const AnsiString SB = Other->GetAsString();
    return CaseInsensitive ? platform::CollateCompareText(SA, SB)
                           : platform::CollateCompareStr(SA, SB);
  }
  if (A == mftExtended && B == mftExtended) return Sign(GetAsExtended(), Other->GetAsExtended());
  if (A == mftDateTime && B == mftDateTime) return Sign(GetAsDateTime(), Other->GetAsDateTime());
  if (IsReal(A) && IsReal(B)) return Sign(GetAsFloat(), Other->GetAsFloat());
  return Sign(GetAsInteger(), Other->GetAsInteger());
}

// --- Names ---

AnsiString TMField::ValidateName(const AnsiString& Name) {
  const AnsiString Trimmed(Trim(Name));
  for (char C : Trimmed) {
    const bool Allowed = (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') ||
                         (C >= '0' && C <= '9') || C == '_';
    if (!Allowed) throw EMDataError(dterr::IllegalNameChars, Name);
  }
  if (!Trimmed.empty() && Trimmed[0] >= '0' && Trimmed[0] <= '9')
    throw EMDataError(dterr::IllegalNameStart, Name);
  return Trimmed;
}

bool TMField::IsTheSameName(const AnsiString& A, const AnsiString& B) {
  const AnsiString TA(Trim(A));
  const AnsiString TB(Trim(B));
  if (TA.empty() || TB.empty()) return false;
  return platform::CollateCompareText(TA, TB) == 0;
}

void TMField::SetName(const AnsiString& Name) {
  const AnsiString Trimmed(Trim(Name));
  if (Trimmed == FFieldName) return;
  TMCustomDataSet* DS = GetDataSet();
  if (DS != nullptr && IsBound()) DS->CheckNotActive();
  const AnsiString Valid = ValidateName(Trimmed);
  if (!Valid.empty() && FCollection != nullptr) {
    for (int I = 0; I < FCollection->GetCount(); ++I) {
      const TMField* Other = FCollection->GetFields(I);
      if (Other != this && IsTheSameName(Other->FFieldName, Valid))
        throw EMDataError(dterr::NameAlreadyUsed, Name);
    }
  }
  FFieldName = Valid;
}

void TMField::SetType(TMFieldType Type) {
  if (Type == FDataType) return;
  TMCustomDataSet* DS = GetDataSet();
  if (DS != nullptr && IsBound()) DS->CheckNotActive();
  FDataType = Type;
  DBType = Type;
}

AnsiString TMField::GetDisplayName() const {
  return FFieldName.empty() ? AnsiString(ClassName()) : FFieldName;
}

AnsiString TMField::GetNamePath() const {
  if (FCollection == nullptr) return ClassName();
  if (!FFieldName.empty()) return FCollection->GetNamePath() + "." + FFieldName;
  return FCollection->GetNamePath() + "[" + std::to_string(FIndex) + "]";
}

// --- Editing hooks ---

AnsiString TMField::GetEditText() const {
  if (!OnGetText) return GetAsString();
  AnsiString Text;
  OnGetText(const_cast<TMField*>(this), Text, false);
  return Text;
}

AnsiString TMField::GetDisplayText() const {
  if (!OnGetText) return GetAsString();
  AnsiString Text;
  OnGetText(const_cast<TMField*>(this), Text, true);
  return Text;
}

void TMField::SetEditText(const AnsiString& Text) {
  if (OnSetText) {
    OnSetText(this, Text, -1);
  } else {
    SetAsString(Text);
  }
}

void TMField::SetFromDropList(const AnsiString& Text, int DropPos) {
  if (OnSetText) {
    OnSetText(this, Text, DropPos);
  } else {
    SetAsString(Text);
  }
}

void TMField::GetDropList(std::vector<AnsiString>& Strings, int& Rows) {
  if (OnPrepareDropList) OnPrepareDropList(this);
  Strings = FDropList;
  Rows = FDropDownRows;
}

void TMField::SetFromDateTimeEditor(TDateTime Value) {
  if (OnSetDateTime) {
    OnSetDateTime(this, Value);
  } else {
    SetAsDateTime(Value);
  }
}

void TMField::PrepareCalendar(TMCalendarData& CalData) {
  if (OnPrepareCalendar) OnPrepareCalendar(this, CalData);
}

void TMField::GetBoldDays(int Year, int Month, TMacSetOfIntegers* BoldDays) {
  if (OnGetBoldDays) OnGetBoldDays(this, Year, Month, BoldDays);
}

void TMField::RiseBtnClickEvent(bool& Down) {
  if (EditStyle == mesRightCheck || EditStyle == mesLeftCheck) SetAsInteger(Down ? 1 : 0);
  if (OnBtnClick) OnBtnClick(this, Down);
}

void TMField::GetCheckState(bool& AChecked, bool& AEnabled) const {
  try {
    AChecked = !GetIsNull() && GetAsInteger() != 0;
  } catch (...) {
    AChecked = false;
  }
  AEnabled = true;
  if (OnGetCheckState) OnGetCheckState(const_cast<TMField*>(this), AChecked, AEnabled);
}

void TMField::RetrieveEditStyle(TMEditStyle& Style, bool& AAllowEdit) const {
  Style = EditStyle;
  AAllowEdit = AllowEdit;
  if (OnGetEditStyle) OnGetEditStyle(const_cast<TMField*>(this), Style, AAllowEdit);
}

void TMField::Assign(const TObject* Source) {
  if (!IsNameOfObjectParentClass(Source, "TMField", true)) {
    throw Exception(AnsiString("Cannot assign a ") + (Source ? Source->ClassName() : "nil") +
                    " to a " + ClassName());
  }
  const auto* S = static_cast<const TMField*>(Source);
  if (S == this) return;
  try {
    SetName(S->FFieldName);
  } catch (...) {
    FFieldName.clear();
  }
  try {
    SetType(S->FDataType);
  } catch (...) {
  }
  Param = S->Param;
  SetEditLimit(S->FEditLimit);
  EditMask = S->EditMask;
  EditStyle = S->EditStyle;
  AllowEdit = S->AllowEdit;
  SetDropDownRows(S->FDropDownRows);
  FDropList = S->FDropList;
}

// ---------------------------------------------------------------------------------------
// TMFields

TMFields::TMFields(TMCustomDataSet* Owner) : FOwner(Owner) {}

TMFields::~TMFields() = default;

TMField* TMFields::GetFields(int Index) const {
  if (Index < 0 || Index >= GetCount())
    throw EMDataError(dterr::FieldIndexOutOfBounds, std::to_string(Index));
  return FItems[static_cast<std::size_t>(Index)].get();
}

void TMFields::SetFields(int Index, const TMField* Field) { GetFields(Index)->Assign(Field); }

TMField* TMFields::Add() {
  FItems.push_back(std::make_unique<TMField>(this));
  TMField* Field = FItems.back().get();
  Field->FIndex = GetCount() - 1;
  return Field;
}

void TMFields::Delete(int Index) {
  TMField* Field = GetFields(Index);
  // A bound field is part of the open record layout: the dataset closes first.
  if (Field->DSIndex >= 0 && FOwner != nullptr) FOwner->SetActive(false);
  FItems.erase(FItems.begin() + Index);
  Renumber(Index);
}

void TMFields::Clear() {
  while (!FItems.empty()) Delete(GetCount() - 1);
}

void TMFields::Assign(const TMFields* Source) {
  if (Source == nullptr || Source == this) return;
  Clear();
  for (int I = 0; I < Source->GetCount(); ++I) Add()->Assign(Source->GetFields(I));
}

void TMFields::Renumber(int From) {
  for (int I = From; I < GetCount(); ++I) FItems[static_cast<std::size_t>(I)]->FIndex = I;
}

TMField* TMFields::Find(const AnsiString& Name) const {
  for (const auto& Field : FItems)
    if (TMField::IsTheSameName(Field->FFieldName, Name)) return Field.get();
  return nullptr;
}

TMField* TMFields::ByName(const AnsiString& Name) const {
  TMField* Field = Find(Name);
  if (Field == nullptr) throw EMDataError(dterr::FieldNameNotFound, Name);
  return Field;
}

TMField* TMFields::ByDSIndex(int DSIndex) const {
  if (DSIndex >= 0) {
    for (const auto& Field : FItems)
      if (Field->DSIndex == DSIndex) return Field.get();
  }
  throw EMDataError(dterr::FieldDSIndexNotFound, std::to_string(DSIndex));
}

TMField* TMFields::FindOrAddDBField(const AnsiString& Name, TMFieldType Type, int DBIndex) {
  TMField* Field = Find(Name);
  if (Field != nullptr) {
    Field->DBType = Type;
    Field->DBIndex = DBIndex;
    Field->AutoCreated = false;
    return Field;
  }
  Field = Add();
  try {
    Field->SetName(Name);
  } catch (...) {
    Field->FFieldName.clear();
  }
  Field->FDataType = Type;
  Field->DBType = Type;
  Field->DBIndex = DBIndex;
  Field->AutoCreated = true;
  return Field;
}

void TMFields::SetDBIndex(const AnsiString& Name, int DBIndex) {
  if (TMField* Field = Find(Name)) Field->DBIndex = DBIndex;
}

void TMFields::ResetDSIndexes() {
  for (std::size_t I = 0; I < FItems.size();) {
    TMField* Field = FItems[I].get();
    Field->DSIndex = -1;
    Field->FSlot = TMRecordSlot::None();
    if (Field->AutoCreated) {
      FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(I));
      continue;
    }
    Field->DBIndex = -1;
    ++I;
  }
  Renumber(0);
}

void TMFields::SetDSIndexes() {
  for (const auto& Field : FItems) {
    Field->DSIndex = Field->FIndex;
    const TMRecordSlot* Slot = FInPlace.Find(Field->FIndex, Field->FDataType);
    Field->FSlot = Slot != nullptr ? *Slot : TMRecordSlot::None();
  }
}

void TMFields::RefreshAll() {
  if (FOwner != nullptr) FOwner->NotifyInterfaces(diaFieldChanged, -1);
}

AnsiString TMFields::GetNamePath() const {
  if (FOwner == nullptr || FOwner->GetNamePath().empty()) return ClassName();
  return FOwner->GetNamePath() + ".Fields";
}

}  // namespace vandrel
