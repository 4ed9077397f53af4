#include "data/DataSet.h"

#include <cstdlib>
#include <exception>
#include <new>

#include "data/ImportedValue.h"

namespace vandrel {

// ---------------------------------------------------------------------------------------
// TMFieldValueList

TMFieldValueList::TMFieldValueList(TMDataSet* Owner) : FOwner(Owner), FRecords(200) {
  FRecords.OnDequeDeleteData = [this](TMacDeque*, void* Record) { FreeRecord(Record); };
}

TMFieldValueList::~TMFieldValueList() {
  try {
    Clear();
  } catch (...) {
  }
}

TMValueCell* TMFieldValueList::NewRecord() const {
  void* Block = std::calloc(static_cast<std::size_t>(FOwner->FFieldCount) + 1, sizeof(TMValueCell));
  if (Block == nullptr) throw std::bad_alloc();
  return static_cast<TMValueCell*>(Block);
}

void TMFieldValueList::FreeRecord(void* Block) {
  auto* Record = static_cast<TMValueCell*>(Block);
  // The block is freed even when OnDeleteData raises.
  std::unique_ptr<void, decltype(&std::free)> Owned(Block, &std::free);
  if (Record == FFixedRecord) FFixedRecord = nullptr;
  const int Count = FOwner->FFieldCount;
  for (int I = 0; I < Count; ++I) cell::Free(Record[I], FOwner->FTypeTable[I]);
  void* D = Record[Count];
  if (D != nullptr && FOwner->OnDeleteData) FOwner->OnDeleteData(FOwner, D);
}

TMValueCell* TMFieldValueList::GetSequenceRecord(int Position) {
  if (FRecords.GetIsEmpty() || Position < 0 || Position >= FRecords.GetCount()) return nullptr;
  FRecords.SetCurrentPosition(Position);
  return static_cast<TMValueCell*>(FRecords.GetCurrentData());
}

TMValueCell* TMFieldValueList::GetRecord(int Position) {
  return FFixedRecord != nullptr ? FFixedRecord : GetSequenceRecord(Position);
}

int TMFieldValueList::InsertRecord(int Position) {
  TMValueCell* Record = NewRecord();
  try {
    if (!FRecords.GetIsEmpty()) FRecords.SetCurrentPosition(Position);
    FRecords.DoInsertBeforeCurrent(Record);
  } catch (...) {
    std::free(Record);
    throw;
  }
  return FRecords.GetCurrentPosition();
}

int TMFieldValueList::AppendRecord() {
  TMValueCell* Record = NewRecord();
  try {
    if (FRecords.GetIsEmpty()) {
      FRecords.DoInsertBeforeCurrent(Record);
    } else {
      FRecords.SetCurrentPosition(FRecords.GetCount() - 1);
      FRecords.DoInsertAfterCurrent(Record);
    }
  } catch (...) {
    std::free(Record);
    throw;
  }
  return FRecords.GetCurrentPosition();
}

void TMFieldValueList::DeleteRecord(int Position) {
  if (Position < 0 || Position >= FRecords.GetCount()) return;
  FRecords.SetCurrentPosition(Position);
  FRecords.DoDeleteCurrent();
}

void TMFieldValueList::Clear() {
  std::exception_ptr First;
  while (!FRecords.GetIsEmpty()) {
    try {
      FRecords.Clear();
    } catch (...) {
      if (!First) First = std::current_exception();
    }
  }
  FFixedRecord = nullptr;
  if (First) std::rethrow_exception(First);
}

void TMFieldValueList::Exchange(int A, int B) {
  if (FRecords.GetIsEmpty()) return;
  FRecords.SetCurrentPosition(A);
  FRecords.Exchange(B);
}

bool TMFieldValueList::IsNull(int Position, int Index) {
  TMValueCell* C = Cell(Position, Index);
  return C == nullptr || cell::IsNull(*C);
}

TMValueCell* TMFieldValueList::Cell(int Position, int Index) {
  if (Index < 0 || Index >= FOwner->FFieldCount) return nullptr;
  TMValueCell* Record = GetRecord(Position);
  return Record != nullptr ? &Record[Index] : nullptr;
}

void* TMFieldValueList::GetData(int Position) {
  TMValueCell* Record = GetRecord(Position);
  return Record != nullptr ? Record[FOwner->FFieldCount] : nullptr;
}

void TMFieldValueList::SetData(int Position, void* D) {
  if (TMValueCell* Record = GetRecord(Position)) Record[FOwner->FFieldCount] = D;
}

// ---------------------------------------------------------------------------------------
// TMDataSet

TMDataSet::TMDataSet(TObject* Owner)
    : TMCustomDataSet(Owner), FValues(std::make_unique<TMFieldValueList>(this)) {}

TMDataSet::~TMDataSet() { BeforeDestruction(); }

int TMDataSet::GetCurrPos() const {
  const int Count = FValues->GetCount();
  if (Count <= 0) return -1;
  if (FCurrentPosition < 0) return 0;
  if (FCurrentPosition > Count - 1) return Count - 1;
  return FCurrentPosition;
}

void TMDataSet::DoSetPosition(int Position) {
  FCurrentPosition = Position;
  FCurrentPosition = GetCurrPos();
}

void TMDataSet::DoInsert() {
  const int At = GetCurrPos();
  FCurrentPosition = FValues->InsertRecord(At < 0 ? 0 : At);
}

void TMDataSet::DoAppend() { FCurrentPosition = FValues->AppendRecord(); }

void TMDataSet::DoDelete() {
  const int At = GetCurrPos();
  try {
    FValues->DeleteRecord(At);
  } catch (...) {
    FCurrentPosition = GetCurrPos();
    throw;
  }
  FCurrentPosition = GetCurrPos();
}

void TMDataSet::DoExchange(int Position) { FValues->Exchange(GetCurrPos(), Position); }

void TMDataSet::DoActivate() {
  TMFields* Fields = GetFields();
  const int Count = Fields->GetCount();
  auto Types = std::make_unique<TMFieldType[]>(static_cast<std::size_t>(Count));
  for (int I = 0; I < Count; ++I) Types[I] = Fields->GetFields(I)->GetDataType();
  FTypeTable = std::move(Types);
  FFieldCount = Count;
  FCurrentPosition = -1;
}

void TMDataSet::DoDeactivate() {
  // The records are freed by the type table, so it goes last, also when a handler raised.
  struct Release {
    TMDataSet* Self;
    ~Release() {
      Self->FFieldCount = 0;
      Self->FCurrentPosition = -1;
      Self->FTypeTable.reset();
    }
  } Done{this};
  FValues->Clear();
}

TMValueCell* TMDataSet::CurrentCell(int DSIndex) { return FValues->Cell(GetCurrPos(), DSIndex); }

AnsiString TMDataSet::NameOf(int DSIndex) const {
  TMFields* Fields = GetFields();
  return DSIndex >= 0 && DSIndex < Fields->GetCount() ? Fields->GetFields(DSIndex)->GetFieldName()
                                                      : AnsiString();
}

bool TMDataSet::IsCurrentFieldNull(int DSIndex, int) {
  TMValueCell* C = CurrentCell(DSIndex);
  return C == nullptr || cell::IsNull(*C);
}

// Readers and writers use the cell's own type; a value asked or given in another type is
// converted by the import rules rather than misread.

template <class T, class Direct, class Imported>
T TMDataSet::ReadCell(int DSIndex, TMFieldType Wanted, T Empty, Direct ReadDirect,
                      Imported ReadImported) {
  TMValueCell* C = CurrentCell(DSIndex);
  if (C == nullptr) return Empty;
  const TMFieldType Own = FTypeTable[DSIndex];
  return Own == Wanted ? ReadDirect(*C) : ReadImported(*C, Own, NameOf(DSIndex));
}

template <class T, class Direct, class Imported>
void TMDataSet::WriteCell(int DSIndex, TMFieldType Given, const T& Value, Direct WriteDirect,
                          Imported WriteImported) {
  TMValueCell* C = CurrentCell(DSIndex);
  if (C == nullptr) return;
  const TMFieldType Own = FTypeTable[DSIndex];
  if (Own == Given) {
    WriteDirect(*C, Value);
  } else {
    WriteImported(*C, Own, Value, NameOf(DSIndex));
  }
}

AnsiString TMDataSet::GetCurrentStringFieldValue(int DSIndex, int) {
  return ReadCell(DSIndex, mftString, AnsiString(), cell::GetString, importing::ReadString);
}

int TMDataSet::GetCurrentIntegerFieldValue(int DSIndex, int) {
  return ReadCell(DSIndex, mftInteger, 0, cell::GetInteger, importing::ReadInteger);
}

double TMDataSet::GetCurrentFloatFieldValue(int DSIndex, int) {
  return ReadCell(DSIndex, mftFloat, 0.0, cell::GetFloat, importing::ReadFloat);
}

Extended TMDataSet::GetCurrentExtendedFieldValue(int DSIndex, int) {
  return ReadCell(DSIndex, mftExtended, Extended(0), cell::GetExtended, importing::ReadExtended);
}

TDateTime TMDataSet::GetCurrentDateTimeFieldValue(int DSIndex, int) {
  return ReadCell(DSIndex, mftDateTime, TDateTime(0), cell::GetDateTime, importing::ReadDateTime);
}

void TMDataSet::SetCurrentFieldNull(int DSIndex, int) {
  if (TMValueCell* C = CurrentCell(DSIndex)) cell::Free(*C, FTypeTable[DSIndex]);
}

void TMDataSet::SetCurrentStringFieldValue(int DSIndex, int, const AnsiString& Value) {
  WriteCell(DSIndex, mftString, Value, cell::SetString, importing::StoreString);
}

void TMDataSet::SetCurrentIntegerFieldValue(int DSIndex, int, int Value) {
  WriteCell(DSIndex, mftInteger, Value, cell::SetInteger, importing::StoreInteger);
}

void TMDataSet::SetCurrentFloatFieldValue(int DSIndex, int, double Value) {
  WriteCell(DSIndex, mftFloat, Value, cell::SetFloat, importing::StoreFloat);
}

void TMDataSet::SetCurrentExtendedFieldValue(int DSIndex, int, Extended Value) {
  WriteCell(DSIndex, mftExtended, Value, cell::SetExtended, importing::StoreExtended);
}

void TMDataSet::SetCurrentDateTimeFieldValue(int DSIndex, int, TDateTime Value) {
  WriteCell(DSIndex, mftDateTime, Value, cell::SetDateTime, importing::StoreDateTime);
}

void* TMDataSet::GetData() {
  if (!GetActive() || GetIsEmpty()) return nullptr;
  return FValues->GetData(GetCurrPos());
}

void TMDataSet::SetData(void* D) {
  if (!GetActive() || GetIsEmpty()) return;
  FValues->SetData(GetCurrPos(), D);
}

void* TMDataSet::GetExternalIndexData() {
  if (!GetActive()) return nullptr;
  return FValues->GetSequenceRecord(GetCurrPos());
}

void* TMDataSet::UseExternalIndex(void* Handle) {
  if (!GetActive()) return nullptr;
  TMValueCell* Previous = FValues->GetFixedRecord();
  FValues->SetFixedRecord(static_cast<TMValueCell*>(Handle));
  return Previous;
}

}  // namespace vandrel
