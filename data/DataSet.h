#pragma once
// The in-memory dataset: records kept in memory, no database. A program designs its fields,
// opens the dataset empty, appends or inserts records and writes values through the fields,
// sorts and searches it through the events of the custom dataset, and may attach one user
// pointer to each record. Values are stored in each field's DataType.
//
// A record is one zero-filled block of F + 1 pointers for F fields: F value cells (see
// ValueCell.h) followed by the user data pointer; nothing else is allocated per record
// besides the record list's node and one cell per non-null value.
#include <memory>

#include "data/CustomDataSet.h"
#include "data/ValueCell.h"
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
  TMValueCell* GetRecord(int Position);
  // The record at Position in the sequence, ignoring the fixed record.
  TMValueCell* GetSequenceRecord(int Position);
  TMValueCell* GetFixedRecord() const { return FFixedRecord; }
  void SetFixedRecord(TMValueCell* Record) { FFixedRecord = Record; }

  // A new record (all values null) before Position, or first in an empty list; its position.
  int InsertRecord(int Position);
  // A new record after the last one; its position.
  int AppendRecord();
  void DeleteRecord(int Position);
  // Frees every record, the last one first; an OnDeleteData that raises does not stop it.
  void Clear();
  void Exchange(int A, int B);

  // Cells by record position and field index; the type is the owner's type table's.
  bool IsNull(int Position, int Index);
  TMValueCell* Cell(int Position, int Index);
  void* GetData(int Position);
  void SetData(int Position, void* D);

 private:
  void FreeRecord(void* Record);
  TMValueCell* NewRecord() const;

  TMDataSet* FOwner;
  TMacDeque FRecords;
  TMValueCell* FFixedRecord = nullptr;
};

class TMDataSet : public TMCustomDataSet {
  VANDREL_CLASS(TMDataSet, TMCustomDataSet)
 public:
  explicit TMDataSet(TObject* Owner = nullptr);
  ~TMDataSet() override;

  // The current position clamped to the records; -1 when there are none.
  int GetCurrPos() const;
  // Fields and types captured when the dataset opened.
  int GetFieldCountAtOpen() const { return FFieldCount; }
  TMFieldType GetStoredType(int Index) const { return FTypeTable[Index]; }
  // Bytes of one record block: F + 1 pointers.
  std::size_t GetRecordSize() const { return sizeof(TMValueCell) * (FFieldCount + 1); }

  bool StoreFields() override { return true; }

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
  int DoGetCount() override { return FValues->GetCount(); }
  void DoInsert() override;
  void DoAppend() override;
  void DoDelete() override;
  void DoExchange(int Position) override;
  void DoActivate() override;
  void DoDeactivate() override;
  void DoSetPosition(int Position) override;
  int GetRealPosition() override { return GetCurrPos(); }

 private:
  friend class TMFieldValueList;

  // The cell of field DSIndex in the current record, or none (no record, unknown field).
  TMValueCell* CurrentCell(int DSIndex);
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
  int FFieldCount = 0;
  std::unique_ptr<TMFieldType[]> FTypeTable;
  std::unique_ptr<TMFieldValueList> FValues;
};

}  // namespace vandrel
