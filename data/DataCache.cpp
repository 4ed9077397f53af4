#include "data/DataCache.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "data/DataError.h"
#include "data/Field.h"
#include "data/ImportedValue.h"

namespace vandrel {

namespace {

constexpr std::size_t StateOffset = 0;
// The user data pointer follows the 4-byte state, aligned for a pointer.
constexpr std::size_t DataOffset = sizeof(TMValueCell);
constexpr std::size_t CellsOffset = 2 * sizeof(TMValueCell);

}  // namespace

TMDataCache::TMDataCache() = default;

TMDataCache::~TMDataCache() {
  try {
    Reset();
  } catch (...) {
  }
}

void TMDataCache::Init(const TMFields* Fields) {
  const int Count = Fields != nullptr ? Fields->GetCount() : 0;
  FFieldCount = Count;
  FTypes.clear();
  FDBTypes.clear();
  FNames.clear();
  for (int I = 0; I < Count; ++I) {
    const TMField* Field = Fields->GetFields(I);
    FTypes.push_back(Field->GetDataType());
    FDBTypes.push_back(Field->DBType);
    FNames.push_back(Field->GetFieldName());
  }
  const auto F = static_cast<std::size_t>(Count);
  FDataOffset = DataOffset;
  FCurrentOffset = CellsOffset;
  FPreviousOffset = FCurrentOffset + F * sizeof(TMValueCell);
  FChangedOffset = FPreviousOffset + F * sizeof(TMValueCell);
  FRecordSize = FChangedOffset + F;
  FRecords = std::make_unique<TMacDeque>(200);
  FRecords->OnDequeDeleteData = [this](TMacDeque*, void* Block) { FreeRecord(Block); };
  FScratch = std::make_unique<TMValueCell[]>(F);
  FFixedRecord = nullptr;
}

void TMDataCache::ClearRecords() {
  std::exception_ptr First;
  while (FRecords && !FRecords->GetIsEmpty()) {
    try {
      FRecords->Clear();
    } catch (...) {
      if (!First) First = std::current_exception();
    }
  }
  if (First) std::rethrow_exception(First);
}

void TMDataCache::Reset() {
  // The layout is forgotten also when an OnDeleteData handler raises.
  struct Forget {
    TMDataCache* Self;
    ~Forget() {
      Self->FRecords.reset();
      Self->FScratch.reset();
      Self->FTypes.clear();
      Self->FDBTypes.clear();
      Self->FNames.clear();
      Self->FFieldCount = 0;
      Self->FDataOffset = Self->FCurrentOffset = Self->FPreviousOffset = 0;
      Self->FChangedOffset = Self->FRecordSize = 0;
      Self->FFixedRecord = nullptr;
    }
  } Done{this};
  ClearRecords();
}

void TMDataCache::SetPosition(int Position) {
  if (FRecords) FRecords->SetCurrentPosition(Position);
}

// --- Records ---

std::uint8_t* TMDataCache::NewRecord(int State) const {
  auto* Block = static_cast<std::uint8_t*>(std::calloc(1, FRecordSize));
  if (Block == nullptr) throw std::bad_alloc();
  const std::int32_t S = State;
  std::memcpy(Block + StateOffset, &S, sizeof(S));
  if (State < 0) std::memset(Block + FChangedOffset, 1, static_cast<std::size_t>(FFieldCount));
  return Block;
}

void TMDataCache::FreeRecord(void* Block) {
  auto* R = static_cast<std::uint8_t*>(Block);
  // The block is freed even when OnDeleteData raises.
  std::unique_ptr<void, decltype(&std::free)> Owned(Block, &std::free);
  if (R == FFixedRecord) FFixedRecord = nullptr;
  auto* Current = reinterpret_cast<TMValueCell*>(R + FCurrentOffset);
  auto* Previous = reinterpret_cast<TMValueCell*>(R + FPreviousOffset);
  for (int I = 0; I < FFieldCount; ++I) {
    cell::Free(Current[I], FTypes[static_cast<std::size_t>(I)]);
    cell::Free(Previous[I], FTypes[static_cast<std::size_t>(I)]);
  }
  void* D = *reinterpret_cast<void**>(R + FDataOffset);
  if (D != nullptr && OnDeleteData) OnDeleteData(this, D);
}

void TMDataCache::InsertRecord(int State) {
  if (!FRecords) throw EMDataError(dterr::NotActive, "");
  std::uint8_t* Block = NewRecord(State);
  try {
    FRecords->DoInsertBeforeCurrent(Block);
  } catch (...) {
    std::free(Block);
    throw;
  }
}

void TMDataCache::AppendRecord(int State) {
  if (!FRecords) throw EMDataError(dterr::NotActive, "");
  std::uint8_t* Block = NewRecord(State);
  try {
    FRecords->DoAppend(Block);
  } catch (...) {
    std::free(Block);
    throw;
  }
}

void TMDataCache::DeleteRecord() {
  if (FRecords) FRecords->DoDeleteCurrent();
}

void TMDataCache::Exchange(int Position) {
  if (FRecords) FRecords->Exchange(Position);
}

std::uint8_t* TMDataCache::Record() const {
  if (FFixedRecord != nullptr) return FFixedRecord;
  auto* R = static_cast<std::uint8_t*>(GetCurrentRecord());
  if (R == nullptr) throw EMDataError(dterr::Empty, "");
  return R;
}

int TMDataCache::GetRecordState() const {
  const auto* R = FFixedRecord != nullptr ? FFixedRecord : static_cast<std::uint8_t*>(GetCurrentRecord());
  if (R == nullptr) return 0;
  std::int32_t S;
  std::memcpy(&S, R + StateOffset, sizeof(S));
  return S;
}

void TMDataCache::SetRecordState(int State) {
  auto* R = FFixedRecord != nullptr ? FFixedRecord : static_cast<std::uint8_t*>(GetCurrentRecord());
  if (R == nullptr) return;
  const std::int32_t S = State;
  std::memcpy(R + StateOffset, &S, sizeof(S));
}

void* TMDataCache::GetRecordData() const {
  const auto* R = FFixedRecord != nullptr ? FFixedRecord : static_cast<std::uint8_t*>(GetCurrentRecord());
  return R != nullptr ? *reinterpret_cast<void* const*>(R + FDataOffset) : nullptr;
}

void TMDataCache::SetRecordData(void* D) {
  auto* R = FFixedRecord != nullptr ? FFixedRecord : static_cast<std::uint8_t*>(GetCurrentRecord());
  if (R != nullptr) *reinterpret_cast<void**>(R + FDataOffset) = D;
}

// --- Values ---

TMValueCell& TMDataCache::CellOf(int Index, bool Previous) const {
  if (Index < 0 || Index >= FFieldCount)
    throw EMDataError(dterr::FieldIndexOutOfBounds, std::to_string(Index));
  std::uint8_t* R = Record();
  return reinterpret_cast<TMValueCell*>(R + (Previous ? FPreviousOffset : FCurrentOffset))[Index];
}

void TMDataCache::MarkChanged(int Index, bool Previous) {
  if (!Previous) Record()[FChangedOffset + static_cast<std::size_t>(Index)] = 1;
}

bool TMDataCache::IsNull(int Index, bool Previous) const { return cell::IsNull(CellOf(Index, Previous)); }

bool TMDataCache::IsChanged(int Index) const {
  CellOf(Index, false);  // checks the index and the record
  return Record()[FChangedOffset + static_cast<std::size_t>(Index)] != 0;
}

AnsiString TMDataCache::GetString(int Index, bool Previous) const {
  TMValueCell C = CellOf(Index, Previous);
  const TMFieldType T = FTypes[static_cast<std::size_t>(Index)];
  return T == mftString ? cell::GetString(C) : importing::ReadString(C, T, FNames[static_cast<std::size_t>(Index)]);
}

int TMDataCache::GetInteger(int Index, bool Previous) const {
  TMValueCell C = CellOf(Index, Previous);
  const TMFieldType T = FTypes[static_cast<std::size_t>(Index)];
  return T == mftInteger ? cell::GetInteger(C) : importing::ReadInteger(C, T, FNames[static_cast<std::size_t>(Index)]);
}

double TMDataCache::GetFloat(int Index, bool Previous) const {
  TMValueCell C = CellOf(Index, Previous);
  const TMFieldType T = FTypes[static_cast<std::size_t>(Index)];
  return T == mftFloat ? cell::GetFloat(C) : importing::ReadFloat(C, T, FNames[static_cast<std::size_t>(Index)]);
}

Extended TMDataCache::GetExtended(int Index, bool Previous) const {
  TMValueCell C = CellOf(Index, Previous);
  const TMFieldType T = FTypes[static_cast<std::size_t>(Index)];
  return T == mftExtended ? cell::GetExtended(C) : importing::ReadExtended(C, T, FNames[static_cast<std::size_t>(Index)]);
}

TDateTime TMDataCache::GetDateTime(int Index, bool Previous) const {
  TMValueCell C = CellOf(Index, Previous);
  const TMFieldType T = FTypes[static_cast<std::size_t>(Index)];
  return T == mftDateTime ? cell::GetDateTime(C) : importing::ReadDateTime(C, T, FNames[static_cast<std::size_t>(Index)]);
}

// Stores in the field's own type, or converted as an imported value; a current value marks
// the field changed.

void TMDataCache::SetString(int Index, bool Previous, const AnsiString& Value) {
  importing::StoreString(CellOf(Index, Previous), FTypes[static_cast<std::size_t>(Index)], Value,
                         FNames[static_cast<std::size_t>(Index)]);
  MarkChanged(Index, Previous);
}

void TMDataCache::SetInteger(int Index, bool Previous, int Value) {
  importing::StoreInteger(CellOf(Index, Previous), FTypes[static_cast<std::size_t>(Index)], Value,
                          FNames[static_cast<std::size_t>(Index)]);
  MarkChanged(Index, Previous);
}

void TMDataCache::SetFloat(int Index, bool Previous, double Value) {
  importing::StoreFloat(CellOf(Index, Previous), FTypes[static_cast<std::size_t>(Index)], Value,
                        FNames[static_cast<std::size_t>(Index)]);
  MarkChanged(Index, Previous);
}

void TMDataCache::SetExtended(int Index, bool Previous, Extended Value) {
  importing::StoreExtended(CellOf(Index, Previous), FTypes[static_cast<std::size_t>(Index)], Value,
                           FNames[static_cast<std::size_t>(Index)]);
  MarkChanged(Index, Previous);
}

void TMDataCache::SetDateTime(int Index, bool Previous, TDateTime Value) {
  importing::StoreDateTime(CellOf(Index, Previous), FTypes[static_cast<std::size_t>(Index)], Value,
                           FNames[static_cast<std::size_t>(Index)]);
  MarkChanged(Index, Previous);
}

void TMDataCache::SetNull(int Index, bool Previous) {
  cell::Free(CellOf(Index, Previous), FTypes[static_cast<std::size_t>(Index)]);
  MarkChanged(Index, Previous);
}

// An imported value is stored like a set one: converted into the field's type, and a
// current value marks the field changed (so it is not imported again).
void TMDataCache::ImportString(int Index, bool Previous, const AnsiString& Value) {
  SetString(Index, Previous, Value);
}
void TMDataCache::ImportInteger(int Index, bool Previous, int Value) {
  SetInteger(Index, Previous, Value);
}
void TMDataCache::ImportFloat(int Index, bool Previous, double Value) {
  SetFloat(Index, Previous, Value);
}
void TMDataCache::ImportExtended(int Index, bool Previous, Extended Value) {
  SetExtended(Index, Previous, Value);
}
void TMDataCache::ImportDateTime(int Index, bool Previous, TDateTime Value) {
  SetDateTime(Index, Previous, Value);
}

// --- Whole-record operations ---

void TMDataCache::SavePrevious() {
  std::uint8_t* R = Record();
  auto* Current = reinterpret_cast<TMValueCell*>(R + FCurrentOffset);
  auto* Previous = reinterpret_cast<TMValueCell*>(R + FPreviousOffset);
  for (int I = 0; I < FFieldCount; ++I)
    cell::Copy(Previous[I], Current[I], FTypes[static_cast<std::size_t>(I)]);
}

void TMDataCache::ClearPrevious() {
  auto* Previous = reinterpret_cast<TMValueCell*>(Record() + FPreviousOffset);
  for (int I = 0; I < FFieldCount; ++I) cell::Free(Previous[I], FTypes[static_cast<std::size_t>(I)]);
}

void TMDataCache::ClearCurrent() {
  Record();
  for (int I = 0; I < FFieldCount; ++I) SetNull(I, false);
}

void TMDataCache::SwapCurrentPrevious() {
  std::uint8_t* R = Record();
  const std::size_t Bytes = static_cast<std::size_t>(FFieldCount) * sizeof(TMValueCell);
  if (Bytes == 0) return;
  std::memcpy(FScratch.get(), R + FCurrentOffset, Bytes);
  std::memcpy(R + FCurrentOffset, R + FPreviousOffset, Bytes);
  std::memcpy(R + FPreviousOffset, FScratch.get(), Bytes);
}

bool TMDataCache::DiffersFromPrevious() const {
  std::uint8_t* R = Record();
  auto* Current = reinterpret_cast<TMValueCell*>(R + FCurrentOffset);
  auto* Previous = reinterpret_cast<TMValueCell*>(R + FPreviousOffset);
  for (int I = 0; I < FFieldCount; ++I)
    if (!cell::Equal(Current[I], Previous[I], FTypes[static_cast<std::size_t>(I)])) return true;
  return false;
}

}  // namespace vandrel
