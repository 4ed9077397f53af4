#pragma once
// The cursor over a sequence of records that every dataset of the library shares: open and
// closed state, the current position with the end flags, bookmarks, editing operations,
// sorting and searching driven by events, copying of field values, and the notification of
// attached data interfaces. It keeps no records: a descendant supplies the storage through
// the virtual operations below (positions 0-based, fields addressed by (DSIndex, DBIndex)).
//
// A descendant's destructor must call BeforeDestruction() first: it closes the dataset
// while the descendant's storage still exists (the base destructor can no longer reach the
// descendant's overrides).
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "data/DataError.h"
#include "data/Field.h"
#include "data/FieldTypes.h"
#include "foundation/Exception.h"
#include "foundation/Object.h"

namespace vandrel {

class TMacSetOfIntegers;
class TMacListOfIntegers;
class TMDataInterface;
class TMCustomResultSet;

// The answer of OnCompareCurrentValue: the current record's key against the remembered one.
enum TMDSCompareResult : std::uint8_t {
  dscLess = 0,     // the current record sorts before the remembered key
  dscEqual = 1,
  dscGreater = 2,
};

// Notifications sent to the attached data interfaces.
enum TMDataInterfaceAction : std::uint8_t {
  diaAttached = 0,
  diaDetached = 1,
  diaBeginUpdate = 2,
  diaEndUpdate = 3,
  diaClosed = 4,
  diaOpened = 5,
  diaRecordDeleted = 6,
  diaRecordAdded = 7,
  diaFieldChanged = 8,     // parameter: the field's index, -1 for all fields
  diaBookmarkChanged = 9,  // parameter: the record position
  diaPositionChanged = 10,
  diaScrollUpdate = 11,
};

class TMCustomDataSet : public TObject {
  VANDREL_CLASS(TMCustomDataSet, TObject)
 public:
  using TMDeleteDataEvent = std::function<void(TMCustomDataSet* Sender, void* D)>;
  using TMDataSetNotifyEvent = std::function<void(TMCustomDataSet* Sender)>;
  using TMCompareCurrentValueEvent =
      std::function<void(TMCustomDataSet* Sender, TMDSCompareResult& AResult)>;
  using TMProgressEvent = std::function<void(TMCustomDataSet* Sender, int AProgress)>;

  explicit TMCustomDataSet(TObject* Owner = nullptr);
  ~TMCustomDataSet() override;
  TMCustomDataSet(const TMCustomDataSet&) = delete;
  TMCustomDataSet& operator=(const TMCustomDataSet&) = delete;

  // The component's name and tag.
  AnsiString Name;
  int Tag = 0;
  TObject* GetComponentOwner() const { return FOwner; }
  AnsiString GetNamePath() const { return Name; }

  // Called by storing descendants when a record that carries user data goes away.
  TMDeleteDataEvent OnDeleteData;
  // Sorting: remember the sort key of the current record.
  TMDataSetNotifyEvent OnCacheCurrentValue;
  // Sorting and searching: compare the current record's key with the remembered one.
  TMCompareCurrentValueEvent OnCompareCurrentValue;
  // Sorting progress in percent.
  TMProgressEvent OnProgress;

  // Open and closed state.
  bool GetActive() const { return FActive; }
  void SetActive(bool Value);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }

  bool GetEof() const { return FEof; }
  bool GetBof() const { return FBof; }
  void SetReadOnly(bool Value) {
    FReadOnly = Value;
    UpdateQuiet();
  }

  // Records and position.
  int GetCount();
  int FetchAll() { return GetCount(); }
  int GetPosition();
  void SetPosition(int Position);
  void First();
  // A step to the neighbour; Eof (Bof) when the position reached is not that neighbour.
  void Next() {
    if (FActive && !FEof && !StepTo(FPosition + 1)) FEof = true;
  }
  void Prior() {
    if (FActive && !FBof && !StepTo(FPosition - 1)) FBof = true;
  }
  void Last();
  void MoveBy(int Distance);

  // Editing.
  void Insert();
  // A storage that appends quickly is answered inline; the protocol's way is out of line.
  void Append() {
    if (int Position; FActive && DoQuickAppend(Position)) [[likely]] {
      FPosition = Position;
      NotifyInterfaces(diaRecordAdded, 0);
      return;
    }
    AppendThroughProtocol();
  }
  void Delete();
  void Clear();
  void Exchange(int Target);
  void* InsertData(void* D);
  void* AppendData(void* D);

  // Sorting and binary search through OnCacheCurrentValue / OnCompareCurrentValue.
  void QuickSort();
  int QuickFind();

  // Copying the current record's values from another dataset.
  void CopyFieldValuesByName(TMCustomDataSet* Source);
  void CopyFieldValuesByIndex(TMCustomDataSet* Source);

  // Fields.
  TMFields* GetFields() const { return FFields.get(); }
  void SetFields(const TMFields* Fields);
  TMField* FieldByName(const AnsiString& Name) const;
  TMField* FindField(const AnsiString& Name) const;
  int GetFieldCount() const;

  // State checks; each raises EMDataError (341, 342, 343, 344).
  // Inline, with the raise out of line: every append and write makes them.
  void CheckActive() const {
    if (!FActive) [[unlikely]]
      RaiseStateError(dterr::NotActive);
  }
  void CheckNotActive() const;
  void CheckNotEmpty();
  void CheckNotReadOnly() {
    if (GetReadOnly()) [[unlikely]]
      RaiseStateError(dterr::ReadOnly);
  }

  // Bookmarks.
  void SetBookmark(bool Value);
  bool GetBookmark();
  bool IsPositionBookmarked(int Position);
  int GetBookmarkCount() const;
  int GetBookmarkPositions(int Index) const;
  bool GotoFirstBookmark();
  bool GotoNextBookmark();
  // Shifts the bookmarks at or after Position up by one (a record was inserted there) or
  // those after it down by one (the record there was deleted).
  void MoveBookmarks(int Position, bool Inserted);

  // Notifications.
  void BeginUpdate();
  void EndUpdate();
  void BeginScrollUpdate();
  void EndScrollUpdate();
  int GetScrollUpdateCount() const;
  void NotifyInterfaces(TMDataInterfaceAction Action, int Param) {
    if (!FInterfaces.empty()) NotifyEachInterface(Action, Param);
  }
  // Re-reads the cached position from the storage.
  void ReapplyPosition();
  // The result set whose current row is the current record while the dataset is open and
  // reads every value straight from it in the field's DBType: fields then read there, past
  // the storage protocol below, and take the protocol when it has no current row.
  TMCustomResultSet* GetDirectResults() const { return FActive ? FDirectResults : nullptr; }

  // --- Overridable behaviour and the storage protocol ---
  virtual bool GetReadOnly() { return FReadOnly; }
  virtual bool StoreReadOnly() { return true; }
  virtual bool StoreFields() { return true; }
  virtual bool GetCountKnown() { return true; }
  virtual bool GetIsEmpty() { return GetCount() <= 0; }
  // True when fields keep their values in the type the database delivered (DBType).
  virtual bool UseFieldDBTypes() { return false; }
  virtual void CheckCanModify() { CheckNotReadOnly(); }

  virtual bool IsCurrentFieldNull(int DSIndex, int DBIndex) = 0;
  virtual AnsiString GetCurrentStringFieldValue(int DSIndex, int DBIndex) = 0;
  virtual int GetCurrentIntegerFieldValue(int DSIndex, int DBIndex) = 0;
  virtual double GetCurrentFloatFieldValue(int DSIndex, int DBIndex) = 0;
  virtual Extended GetCurrentExtendedFieldValue(int DSIndex, int DBIndex) = 0;
  virtual TDateTime GetCurrentDateTimeFieldValue(int DSIndex, int DBIndex) = 0;
  virtual void SetCurrentFieldNull(int DSIndex, int DBIndex);
  virtual void SetCurrentStringFieldValue(int DSIndex, int DBIndex, const AnsiString& Value);
  virtual void SetCurrentIntegerFieldValue(int DSIndex, int DBIndex, int Value);
  virtual void SetCurrentFloatFieldValue(int DSIndex, int DBIndex, double Value);
  virtual void SetCurrentExtendedFieldValue(int DSIndex, int DBIndex, Extended Value);
  virtual void SetCurrentDateTimeFieldValue(int DSIndex, int DBIndex, TDateTime Value);
  // The values the current record had before this editing pass.
  virtual bool WasPreviousFieldNull(int DSIndex, int DBIndex);
  virtual AnsiString GetPreviousStringFieldValue(int DSIndex, int DBIndex);
  virtual int GetPreviousIntegerFieldValue(int DSIndex, int DBIndex);
  virtual double GetPreviousFloatFieldValue(int DSIndex, int DBIndex);
  virtual Extended GetPreviousExtendedFieldValue(int DSIndex, int DBIndex);
  virtual TDateTime GetPreviousDateTimeFieldValue(int DSIndex, int DBIndex);
  // One user pointer per record; the base class keeps none (SetData raises 346).
  virtual void* GetData() { return nullptr; }
  virtual void SetData(void* D);
  // A handle to the storage's current record, or none.
  virtual void* GetExternalIndexData() = 0;
  // From now on values are read and written in the record behind Handle (none restores the
  // current record); returns the previous handle.
  virtual void* UseExternalIndex(void* Handle) = 0;

 protected:
  virtual int DoGetCount() = 0;
  virtual void DoInsert() {}
  virtual void DoAppend() {}
  virtual void DoDelete() {}
  virtual void DoExchange(int /*Position*/) {}
  virtual void DoActivate() = 0;
  virtual void DoDeactivate() = 0;
  virtual void DoSetPosition(int Position) = 0;
  virtual int GetRealPosition() = 0;
  // Moves the storage's cursor to Target, a neighbour of the current position, exactly as
  // DoSetPosition followed by GetRealPosition would, when the storage holds a record there and
  // can tell so cheaply; true when it moved. Next and Prior ask this first and take the
  // protocol above on false, which the base class always answers.
  virtual bool DoStepTo(int /*Target*/) { return false; }
  // Appends a record exactly as CheckCanModify, DoAppend and GetRealPosition would, when the
  // storage can tell that cheaply, and answers the new record's position in Position; false,
  // nothing done, sends Append the protocol's way (the base class always answers false).
  virtual bool DoQuickAppend(int& /*Position*/) { return false; }

  // Detaches the interfaces, clears the bookmarks and closes the dataset; errors are
  // swallowed. Runs once; every concrete descendant's destructor calls it first.
  void BeforeDestruction() noexcept;
  // Publishes to the fields how the storage lays out its records in place (from its
  // activation on, so that fields find their slots when they are bound; none: the virtual
  // protocol only), and where the current record lies (none while there is none). The
  // dataset withdraws both when it closes. A dataset that publishes answers GetReadOnly by
  // SetReadOnly alone: fields change a value in place without asking while it is writable and
  // has no interfaces.
  void SetDirectLayout(const TMRecordLayout* Layout) {
    TMDirectRecord& At = FFields->FInPlace;
    At.Slots = Layout != nullptr ? Layout->GetSlots() : nullptr;
    At.Count = Layout != nullptr ? Layout->GetSlotCount() : 0;
    if (Layout == nullptr) At.Record = nullptr;  // no layout, no record in place
  }
  void SetDirectRecord(unsigned char* Record) { FFields->FInPlace.Record = Record; }
  // Publishes the result set the fields read straight from (none: the virtual protocol only).
  void SetDirectResults(TMCustomResultSet* Rows) { FDirectResults = Rows; }

 private:
  friend class TMDataInterface;

  void DetachInterfaces() noexcept;
  void AddInterface(TMDataInterface* Interface);
  void RemoveInterface(TMDataInterface* Interface) noexcept;
  // Tells the fields whether a change in place needs the read-only check and a notification.
  void UpdateQuiet() noexcept;
  [[noreturn, gnu::cold]] static void RaiseStateError(int Code);
  void NotifyEachInterface(TMDataInterfaceAction Action, int Param);
  // Runs Body between BeginUpdate and EndUpdate (with ReapplyPosition first when Reapply),
  // the closing steps also when Body raises.
  template <class Body>
  void InUpdate(bool Reapply, Body Run);
  // SetPosition past its checks: the dataset is open, not empty, and Position is new.
  void MoveTo(int Position);
  // Next's and Prior's move to a neighbour: false when the position reached is not Target.
  // A storage that steps itself is answered inline; the protocol's way is out of line.
  bool StepTo(int Target) {
    if (DoStepTo(Target)) [[likely]] {
      FPosition = Target;
      NotifyInterfaces(diaPositionChanged, 0);
      return true;
    }
    return StepThroughProtocol(Target);
  }
  bool StepThroughProtocol(int Target);
  // Append's checks, DoAppend and ReapplyPosition.
  void AppendThroughProtocol();
  int CompareRecordAt(int Position);
  void ExchangeRecords(int A, int B);
  void SortRange(int L, int R);
  // Deletes the current record with its bookmark; shared by Delete and Clear.
  void DeleteCurrentRecord();
  void CopyFieldValue(TMField* Target, TMField* Source);
  bool GotoBookmark(int Bookmark);

  TObject* FOwner;
  bool FReadOnly = false;
  bool FEof = true;
  bool FBof = true;
  bool FActive = false;
  bool FDestroying = false;
  std::unique_ptr<TMFields> FFields;
  std::vector<TMDataInterface*> FInterfaces;
  std::unique_ptr<TMacSetOfIntegers> FBookmarks;
  int FPosition = -1;
  std::unique_ptr<TMacListOfIntegers> FScrollStack;
  TMCustomResultSet* FDirectResults = nullptr;
};

}  // namespace vandrel
