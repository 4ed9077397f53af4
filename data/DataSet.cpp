#include "data/DataSet.h"

#include <exception>
#include <functional>
#include <typeinfo>

#include "data/ImportedValue.h"

namespace vandrel {

// ---------------------------------------------------------------------------------------
// TMFieldValueList

TMFieldValueList::TMFieldValueList(TMDataSet* Owner) : FOwner(Owner), FRecords(200) {
  FRecords.OnDequeDeleteData = [this](TMacDeque*, void* Record) { FreeRecord(Record); };
}

TMFieldValueList::~TMFieldValueList() {
  try {
    Clear(0);
  } catch (...) {
  }
}

void TMFieldValueList::FreeRecord(void* Block) {
  auto* Record = static_cast<unsigned char*>(Block);
  // The block goes back to the pool even when OnDeleteData raises.
  struct Release {
    TMRecordPool& Pool;
    void* Block;
    ~Release() { Pool.Free(Block); }
  } Done{FPool, Block};
  if (Record == FFixedRecord) FFixedRecord = nullptr;
  // The owner looks its current record up again once the list is whole; until then no
  // value is read from or written to the one going away.
  if (Record == FOwner->FRecord) FOwner->FRecord = nullptr, FOwner->SetDirectRecord(nullptr);
  FOwner->FLayout.FreeValues(Record);
  void* D = FOwner->FLayout.GetData(Record);
  if (D != nullptr && FOwner->OnDeleteData) FOwner->OnDeleteData(FOwner, D);
}

int TMFieldValueList::InsertRecord(int Position, unsigned char*& Record) {
  Record = FPool.Allocate();
  try {
    if (!FRecords.GetIsEmpty()) FRecords.SetCurrentPosition(Position);
    FRecords.DoInsertBeforeCurrent(Record);
  } catch (...) {
    FPool.Free(Record);
    throw;
  }
  return FRecords.GetCurrentPosition();
}

int TMFieldValueList::AppendRecord(unsigned char*& Record) {
  Record = FPool.Allocate();
  try {
    FRecords.DoAppend(Record);
  } catch (...) {
    FPool.Free(Record);
    throw;
  }
  return FRecords.GetCount() - 1;
}

void TMFieldValueList::DeleteRecord(int Position) {
  if (Position < 0 || Position >= FRecords.GetCount()) return;
  FRecords.SetCurrentPosition(Position);
  FRecords.DoDeleteCurrent();
}

void TMFieldValueList::Clear(std::size_t BlockSize) {
  std::exception_ptr First;
  while (!FRecords.GetIsEmpty()) {
    try {
      FRecords.Clear();
    } catch (...) {
      if (!First) First = std::current_exception();
    }
  }
  FFixedRecord = nullptr;
  FPool.Reset(BlockSize);
  if (First) std::rethrow_exception(First);
}

void TMFieldValueList::Exchange(int A, int B) {
  if (FRecords.GetIsEmpty()) return;
  FRecords.SetCurrentPosition(A);
  FRecords.Exchange(B);
}

void* TMFieldValueList::GetData(int Position) {
  unsigned char* Record = GetRecord(Position);
  return Record != nullptr ? FOwner->FLayout.GetData(Record) : nullptr;
}

void TMFieldValueList::SetData(int Position, void* D) {
  if (unsigned char* Record = GetRecord(Position)) FOwner->FLayout.SetData(Record, D);
}

// ---------------------------------------------------------------------------------------
// TMDataSet

TMDataSet::TMDataSet(TObject* Owner)
    : TMCustomDataSet(Owner), FValues(this) {}

TMDataSet::~TMDataSet() { BeforeDestruction(); }

void TMDataSet::TrackRecord() {
  FRecord = FValues.GetRecord(GetCurrPos());
  SetDirectRecord(FRecord);
}

void TMDataSet::DoSetPosition(int Position) {
  FCurrentPosition = Position;
  FCurrentPosition = GetCurrPos();
  TrackRecord();
}

bool TMDataSet::DoStepTo(int Target) {
  // A fixed record answers every move, and a target outside the records is clamped: both
  // take DoSetPosition, as a step beyond the sequence's segment does.
  if (!FOwnOperations || FValues.GetFixedRecord() != nullptr) return false;
  unsigned char* Record = FValues.GetNeighbourRecord(Target);
  if (Record == nullptr) return false;
  FCurrentPosition = Target;
  FRecord = Record;
  SetDirectRecord(Record);
  return true;
}

bool TMDataSet::DoQuickAppend(int& Position) {
  // Read-only: the protocol's check raises.
  if (!FOwnOperations || GetReadOnly()) return false;
  if (unsigned char* Record = FValues.TryAppendRecord()) {
    FCurrentPosition = FValues.GetCount() - 1;
    TrackNewRecord(Record);
  } else {
    TMDataSet::DoAppend();  // a new page or segment: out of line, so the steady state calls nothing
  }
  Position = FCurrentPosition;  // the new last record, as GetCurrPos has it
  return true;
}

void TMDataSet::DoInsert() {
  const int At = GetCurrPos();
  unsigned char* Record;
  FCurrentPosition = FValues.InsertRecord(At < 0 ? 0 : At, Record);
  TrackNewRecord(Record);
}

void TMDataSet::DoAppend() {
  unsigned char* Record;
  FCurrentPosition = FValues.AppendRecord(Record);
  TrackNewRecord(Record);
}

void TMDataSet::DoDelete() {
  const int At = GetCurrPos();
  try {
    FValues.DeleteRecord(At);
  } catch (...) {
    FCurrentPosition = GetCurrPos();
    TrackRecord();
    throw;
  }
  FCurrentPosition = GetCurrPos();
  TrackRecord();
}

void TMDataSet::DoExchange(int Position) {
  // The records trade places in the list, so the current position holds the other one.
  struct Track {
    TMDataSet* Self;
    ~Track() { Self->TrackRecord(); }
  } Done{this};
  FValues.Exchange(GetCurrPos(), Position);
}

void TMDataSet::DoActivate() {
  TMFields* Fields = GetFields();
  const int Count = Fields->GetCount();
  auto Types = std::make_unique<TMFieldType[]>(static_cast<std::size_t>(Count));
  for (int I = 0; I < Count; ++I) Types[I] = Fields->GetFields(I)->GetDataType();
  FLayout.Build(Types.get(), Count);
  SetDirectLayout(&FLayout);
  FValues.Clear(FLayout.GetSize());
  FTypeTable = std::move(Types);
  FFieldCount = Count;
  FCurrentPosition = -1;
  FOwnOperations = typeid(*this) == typeid(TMDataSet);
  TrackRecord();
}

void TMDataSet::DoDeactivate() {
  // The records are freed by the layout and the type table, so they go last, also when a
  // handler raised.
  struct Release {
    TMDataSet* Self;
    ~Release() {
      Self->FFieldCount = 0;
      Self->FCurrentPosition = -1;
      Self->FRecord = nullptr;
      Self->FTypeTable.reset();
    }
  } Done{this};
  FValues.Clear(FLayout.GetSize());
}

AnsiString TMDataSet::NameOf(int DSIndex) const {
  TMFields* Fields = GetFields();
  return DSIndex >= 0 && DSIndex < Fields->GetCount() ? Fields->GetFields(DSIndex)->GetFieldName()
                                                      : AnsiString();
}

bool TMDataSet::IsCurrentFieldNull(int DSIndex, int) {
  unsigned char* R = CurrentRecord(DSIndex);
  return R == nullptr || FLayout.IsNull(R, DSIndex);
}

// Readers and writers use the value's own type; a value asked or given in another type is
// converted by the import rules rather than misread.

template <class T, class Direct, class Imported>
T TMDataSet::ReadCell(int DSIndex, TMFieldType Wanted, T Empty, Direct ReadDirect,
                      Imported ReadImported) {
  unsigned char* R = CurrentRecord(DSIndex);
  if (R == nullptr) return Empty;
  const TMFieldType Own = FTypeTable[DSIndex];
  if (Own == Wanted) return ReadDirect(FLayout, R, DSIndex);
  TMValueCell Value = nullptr;
  std::unique_ptr<TMValueCell, void (*)(TMValueCell*)> Owned(&Value, [](TMValueCell* C) { cell::Free(*C, mftString); });
  FLayout.ToCell(R, DSIndex, Value);
  return ReadImported(Value, Own, NameOf(DSIndex));
}

template <class T, class Direct, class Imported>
void TMDataSet::WriteCell(int DSIndex, TMFieldType Given, const T& Value, Direct WriteDirect,
                          Imported WriteImported) {
  unsigned char* R = CurrentRecord(DSIndex);
  if (R == nullptr) return;
  const TMFieldType Own = FTypeTable[DSIndex];
  if (Own == Given) {
    WriteDirect(FLayout, R, DSIndex, Value);
    return;
  }
  TMValueCell Converted = nullptr;
  std::unique_ptr<TMValueCell, void (*)(TMValueCell*)> Owned(&Converted, [](TMValueCell* C) { cell::Free(*C, mftString); });
  WriteImported(Converted, Own, Value, NameOf(DSIndex));
  FLayout.FromCell(R, DSIndex, Converted);
}

AnsiString TMDataSet::GetCurrentStringFieldValue(int DSIndex, int) {
  return ReadCell(DSIndex, mftString, AnsiString(), std::mem_fn(&TMRecordLayout::GetString), importing::ReadString);
}

int TMDataSet::GetCurrentIntegerFieldValue(int DSIndex, int) {
  return ReadCell(DSIndex, mftInteger, 0, std::mem_fn(&TMRecordLayout::GetInteger), importing::ReadInteger);
}

double TMDataSet::GetCurrentFloatFieldValue(int DSIndex, int) {
  return ReadCell(DSIndex, mftFloat, 0.0, std::mem_fn(&TMRecordLayout::GetFloat), importing::ReadFloat);
}

Extended TMDataSet::GetCurrentExtendedFieldValue(int DSIndex, int) {
  return ReadCell(DSIndex, mftExtended, Extended(0), std::mem_fn(&TMRecordLayout::GetExtended),
                  importing::ReadExtended);
}

TDateTime TMDataSet::GetCurrentDateTimeFieldValue(int DSIndex, int) {
  return ReadCell(DSIndex, mftDateTime, TDateTime(0), std::mem_fn(&TMRecordLayout::GetDateTime),
                  importing::ReadDateTime);
}

void TMDataSet::SetCurrentFieldNull(int DSIndex, int) {
  if (unsigned char* R = CurrentRecord(DSIndex)) FLayout.SetNull(R, DSIndex);
}

void TMDataSet::SetCurrentStringFieldValue(int DSIndex, int, const AnsiString& Value) {
  WriteCell(DSIndex, mftString, Value, std::mem_fn(&TMRecordLayout::SetString), importing::StoreString);
}

void TMDataSet::SetCurrentIntegerFieldValue(int DSIndex, int, int Value) {
  WriteCell(DSIndex, mftInteger, Value, std::mem_fn(&TMRecordLayout::SetInteger), importing::StoreInteger);
}

void TMDataSet::SetCurrentFloatFieldValue(int DSIndex, int, double Value) {
  WriteCell(DSIndex, mftFloat, Value, std::mem_fn(&TMRecordLayout::SetFloat), importing::StoreFloat);
}

void TMDataSet::SetCurrentExtendedFieldValue(int DSIndex, int, Extended Value) {
  WriteCell(DSIndex, mftExtended, Value, std::mem_fn(&TMRecordLayout::SetExtended), importing::StoreExtended);
}

void TMDataSet::SetCurrentDateTimeFieldValue(int DSIndex, int, TDateTime Value) {
  WriteCell(DSIndex, mftDateTime, Value, std::mem_fn(&TMRecordLayout::SetDateTime), importing::StoreDateTime);
}

void* TMDataSet::GetData() {
  if (!GetActive() || GetIsEmpty()) return nullptr;
  return FValues.GetData(GetCurrPos());
}

void TMDataSet::SetData(void* D) {
  if (!GetActive() || GetIsEmpty()) return;
  FValues.SetData(GetCurrPos(), D);
}

void* TMDataSet::GetExternalIndexData() {
  if (!GetActive()) return nullptr;
  return FValues.GetSequenceRecord(GetCurrPos());
}

void* TMDataSet::UseExternalIndex(void* Handle) {
  if (!GetActive()) return nullptr;
  unsigned char* Previous = FValues.GetFixedRecord();
  FValues.SetFixedRecord(static_cast<unsigned char*>(Handle));
  TrackRecord();
  return Previous;
}

}  // namespace vandrel
