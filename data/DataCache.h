#pragma once
// The record store behind a query whose updates are cached. For every field of every record
// it keeps the current value and the previous value (the value before this editing pass),
// a changed flag per field, a record state word and one user-data pointer; incoming values
// are converted into each field's type.
//
// Record block, one allocation per record, for F fields (offsets in bytes; cells are
// pointers of 8 bytes on 64-bit machines, so the state word is followed by 4 bytes that
// keep the pointers aligned):
//   0          state, signed 32-bit (meaning chosen by the owner)
//   8          user data pointer
//   16         F current value cells
//   16 + 8F    F previous value cells
//   16 + 16F   F changed flags, one byte each (0 or 1)
// so a record block is 16 + 17F bytes. A value cell is empty (null) or points to one value
// of the field's type (ValueCell.h).
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "data/FieldTypes.h"
#include "data/ValueCell.h"
#include "foundation/Exception.h"
#include "foundation/MacDeque.h"
#include "foundation/Object.h"

namespace vandrel {

class TMFields;

class TMDataCache : public TObject {
  VANDREL_CLASS(TMDataCache, TObject)
 public:
  using TMCacheDeleteDataEvent = std::function<void(TMDataCache* Sender, void* D)>;

  TMDataCache();
  ~TMDataCache() override;
  TMDataCache(const TMDataCache&) = delete;
  TMDataCache& operator=(const TMDataCache&) = delete;

  // Called when a record whose user data is set is freed.
  TMCacheDeleteDataEvent OnDeleteData;

  // Takes the field count and the two type tables from Fields and creates the record list.
  void Init(const TMFields* Fields);
  // Frees every record (OnDeleteData for those with user data) and forgets the layout.
  void Reset();

  int GetFieldCount() const { return FFieldCount; }
  std::size_t GetRecordSize() const { return FRecordSize; }
  TMFieldType GetFieldType(int Index) const { return FTypes[static_cast<std::size_t>(Index)]; }
  TMFieldType GetDBType(int Index) const { return FDBTypes[static_cast<std::size_t>(Index)]; }

  // Navigation over the record sequence.
  bool GetIsEmpty() const { return !FRecords || FRecords->GetIsEmpty(); }
  int GetCount() const { return FRecords ? FRecords->GetCount() : 0; }
  int GetPosition() const { return FRecords ? FRecords->GetCurrentPosition() : -1; }
  void SetPosition(int Position);
  // The block under the cursor (ignores the fixed record), or none.
  void* GetCurrentRecord() const { return FRecords ? FRecords->GetCurrentData() : nullptr; }

  // The fixed record: while set, every access to the current record goes to it.
  void* GetFixedRecord() const { return FFixedRecord; }
  void SetFixedRecord(void* Record) { FFixedRecord = static_cast<std::uint8_t*>(Record); }

  // Records. A new record has no user data, all cells empty and every changed flag equal
  // to (State < 0); it goes before the current record (InsertRecord) or after the last one
  // (AppendRecord) and becomes current.
  void InsertRecord(int State);
  void AppendRecord(int State);
  // Removes the current record; the following one (or the new last one) becomes current.
  void DeleteRecord();
  // Swaps the current record with the one at Position; the cursor ends on Position.
  void Exchange(int Position);
  int GetRecordState() const;
  void SetRecordState(int State);
  void* GetRecordData() const;
  void SetRecordData(void* D);

  // Values of the current (or fixed) record; Previous selects the previous value. Each
  // getter and setter works in the field's type; a value asked or given in another type
  // is converted as an imported value.
  bool IsNull(int Index, bool Previous) const;
  AnsiString GetString(int Index, bool Previous) const;
  int GetInteger(int Index, bool Previous) const;
  double GetFloat(int Index, bool Previous) const;
  Extended GetExtended(int Index, bool Previous) const;
  TDateTime GetDateTime(int Index, bool Previous) const;
  // Setting a current value (Previous false) sets the field's changed flag.
  void SetString(int Index, bool Previous, const AnsiString& Value);
  void SetInteger(int Index, bool Previous, int Value);
  void SetFloat(int Index, bool Previous, double Value);
  void SetExtended(int Index, bool Previous, Extended Value);
  void SetDateTime(int Index, bool Previous, TDateTime Value);
  void SetNull(int Index, bool Previous);
  bool IsChanged(int Index) const;

  // Store a value delivered in another type, converted into the field's type.
  void ImportString(int Index, bool Previous, const AnsiString& Value);
  void ImportInteger(int Index, bool Previous, int Value);
  void ImportFloat(int Index, bool Previous, double Value);
  void ImportExtended(int Index, bool Previous, Extended Value);
  void ImportDateTime(int Index, bool Previous, TDateTime Value);

  // Whole-record operations on the current record.
  void SavePrevious();
  void ClearPrevious();
  void ClearCurrent();
  void SwapCurrentPrevious();
  bool DiffersFromPrevious() const;

 private:
  // The current or fixed record; raises when there is none.
  std::uint8_t* Record() const;
  TMValueCell& CellOf(int Index, bool Previous) const;
  void MarkChanged(int Index, bool Previous);
  std::uint8_t* NewRecord(int State) const;
  void FreeRecord(void* Block);
  void ClearRecords();

  int FFieldCount = 0;
  std::vector<TMFieldType> FTypes;
  std::vector<TMFieldType> FDBTypes;
  // Field names, for the texts of conversion errors.
  std::vector<AnsiString> FNames;
  std::size_t FDataOffset = 0;
  std::size_t FCurrentOffset = 0;
  std::size_t FPreviousOffset = 0;
  std::size_t FChangedOffset = 0;
  std::size_t FRecordSize = 0;
  std::unique_ptr<TMacDeque> FRecords;
  std::unique_ptr<TMValueCell[]> FScratch;
  std::uint8_t* FFixedRecord = nullptr;
};

}  // namespace vandrel
