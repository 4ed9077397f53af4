#pragma once
// The in-memory dataset: records kept in memory, no database. A program designs its fields,
// opens the dataset empty, appends or inserts records and writes values through the fields,
// sorts and searches it through the events of the custom dataset, and may attach one user
// pointer to each record. Values are stored in each field's DataType.
//
// A record is one block laid out by the field types when the dataset opens (see
// RecordLayout.h), taken from the dataset's pool of pages; nothing else is allocated per
// record besides the record list's node and a text longer than 15 bytes.
#include <memory>

#include "data/CustomDataSet.h"
#include "data/RecordLayout.h"
#include "data/RecordPool.h"
#include "foundation/MacDeque.h"

namespace vandrel {

class TMDataSet;

// The records of a TMDataSet, by position. While a fixed record is set, every value and
// user-data access goes to it instead of to the record at the requested position.
class TMFieldValueList : public TObject {
  VANDREL_CLASS(TMFieldValueList, TObject)
 public:
  explicit TMFieldValueList(TMDataSet* Owner);
  ~TMFieldValueList() override;
  TMFieldValueList(const TMFieldValueList&) = delete;
  TMFieldValueList& operator=(const TMFieldValueList&) = delete;

  int GetCount() const { return FRecords.GetCount(); }
  bool GetIsEmpty() const { return FRecords.GetIsEmpty(); }

  // The record at Position (the fixed record when set), or none.
  unsigned char* GetRecord(int Position) {
    return FFixedRecord != nullptr ? FFixedRecord : GetSequenceRecord(Position);
  }
  // The record at Position in the sequence, ignoring the fixed record.
  unsigned char* GetSequenceRecord(int Position) {
    if (Position < 0 || Position >= FRecords.GetCount()) return nullptr;
    FRecords.SetCurrentPosition(Position);
    return static_cast<unsigned char*>(FRecords.GetCurrentData());
  }
  unsigned char* GetFixedRecord() const { return FFixedRecord; }
  // The record at Position in the sequence when it is the neighbour of the sequence's cursor
  // (a cursor's step, inline), or none.
  unsigned char* GetNeighbourRecord(int Position) {
    if (!FRecords.StepToNeighbour(Position)) return nullptr;
    return static_cast<unsigned char*>(FRecords.GetCurrentData());
  }
  void SetFixedRecord(unsigned char* Record) { FFixedRecord = Record; }

  // A new record (all values null) before Position, or first in an empty list; its position.
  int InsertRecord(int Position, unsigned char*& Record);
  // A new record after the last one; its position.
  int AppendRecord(unsigned char*& Record);
  // AppendRecord's steady state, inline and without a call on the way: the new record, or
  // none, nothing done, when the list needs a new page or segment (AppendRecord then).
  unsigned char* TryAppendRecord() {
    unsigned char* Record = FPool.TryAllocate();
    if (Record == nullptr) return nullptr;
    if (FRecords.TryAppend(Record)) return Record;
    FPool.Free(Record);
    return nullptr;
  }
  void DeleteRecord(int Position);
  // Frees every record, the last one first; an OnDeleteData that raises does not stop it.
  // The pages of the records go too, and records of BlockSize bytes are made from now on.
  void Clear(std::size_t BlockSize);
  void Exchange(int A, int B);

  void* GetData(int Position);
  void SetData(int Position, void* D);

 private:
  void FreeRecord(void* Record);

  TMDataSet* FOwner;
  TMacDeque FRecords;
  TMRecordPool FPool;
  unsigned char* FFixedRecord = nullptr;
};

class TMDataSet : public TMCustomDataSet {
  VANDREL_CLASS(TMDataSet, TMCustomDataSet)
 public:
  explicit TMDataSet(TObject* Owner = nullptr);
  ~TMDataSet() override;

  // The current position clamped to the records; -1 when there are none.
  int GetCurrPos() const {
    const int Count = FValues.GetCount();
    if (Count <= 0) return -1;
    return FCurrentPosition < 0 ? 0 : FCurrentPosition > Count - 1 ? Count - 1 : FCurrentPosition;
  }
  // Fields and types captured when the dataset opened.
  int GetFieldCountAtOpen() const { return FFieldCount; }
  TMFieldType GetStoredType(int Index) const { return FTypeTable[Index]; }
  // Bytes of one record block.
  std::size_t GetRecordSize() const { return FLayout.GetSize(); }

  // Read-only exactly as SetReadOnly says: fields change values in place without asking.
  bool GetReadOnly() final { return TMCustomDataSet::GetReadOnly(); }
  bool StoreFields() override { return true; }
  bool GetIsEmpty() override { return !GetActive() || FValues.GetIsEmpty(); }

  bool IsCurrentFieldNull(int DSIndex, int DBIndex) override;
  AnsiString GetCurrentStringFieldValue(int DSIndex, int DBIndex) override;
  int GetCurrentIntegerFieldValue(int DSIndex, int DBIndex) override;
  double GetCurrentFloatFieldValue(int DSIndex, int DBIndex) override;
  Extended GetCurrentExtendedFieldValue(int DSIndex, int DBIndex) override;
  TDateTime GetCurrentDateTimeFieldValue(int DSIndex, int DBIndex) override;
  void SetCurrentFieldNull(int DSIndex, int DBIndex) override;
  void SetCurrentStringFieldValue(int DSIndex, int DBIndex, const AnsiString& Value) override;
  void SetCurrentIntegerFieldValue(int DSIndex, int DBIndex, int Value) override;
  void SetCurrentFloatFieldValue(int DSIndex, int DBIndex, double Value) override;
  void SetCurrentExtendedFieldValue(int DSIndex, int DBIndex, Extended Value) override;
  void SetCurrentDateTimeFieldValue(int DSIndex, int DBIndex, TDateTime Value) override;
  void* GetData() override;
  void SetData(void* D) override;
  void* GetExternalIndexData() override;
  void* UseExternalIndex(void* Handle) override;

 protected:
  int DoGetCount() override { return FValues.GetCount(); }
  void DoInsert() override;
  void DoAppend() override;
  void DoDelete() override;
  void DoExchange(int Position) override;
  void DoActivate() override;
  void DoDeactivate() override;
  void DoSetPosition(int Position) override;
  int GetRealPosition() override { return GetCurrPos(); }
  bool DoStepTo(int Target) override;
  bool DoQuickAppend(int& Position) override;

 private:
  friend class TMFieldValueList;

  // The current record when it has field DSIndex, or none (no record, unknown field).
  unsigned char* CurrentRecord(int DSIndex) const {
    return DSIndex >= 0 && DSIndex < FFieldCount ? FRecord : nullptr;
  }
  // Looks up the current record again (the fixed one when set) after the position or the
  // records changed, and publishes it to the fields.
  void TrackRecord();
  // The current record is the new one, Record (unless a fixed record is set).
  void TrackNewRecord(unsigned char* Record) {
    FRecord = FValues.GetFixedRecord() != nullptr ? FValues.GetFixedRecord() : Record;
    SetDirectRecord(FRecord);
  }
  // The field's name for error texts.
  AnsiString NameOf(int DSIndex) const;
  // A value of the current record in the cell's own type, or converted as an imported value
  // when the type asked or given differs.
  template <class T, class Direct, class Imported>
  T ReadCell(int DSIndex, TMFieldType Wanted, T Empty, Direct ReadDirect, Imported ReadImported);
  template <class T, class Direct, class Imported>
  void WriteCell(int DSIndex, TMFieldType Given, const T& Value, Direct WriteDirect,
                 Imported WriteImported);

  int FCurrentPosition = -1;
  unsigned char* FRecord = nullptr;
  // This class's own storage operations are in effect (no descendant overrides them): a step
  // to a neighbour needs neither DoSetPosition nor GetRealPosition, an append neither
  // CheckCanModify nor GetRealPosition. Known from the opening.
  bool FOwnOperations = false;
  int FFieldCount = 0;
  std::unique_ptr<TMFieldType[]> FTypeTable;
  TMRecordLayout FLayout;
  TMFieldValueList FValues;
};

}  // namespace vandrel
