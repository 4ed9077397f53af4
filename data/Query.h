#pragma once
// The query component: the dataset through which statements run. It holds the SQL text and
// its parameters and is attached to a link. By default it is read-only and reads rows
// straight from the link's result set as the position moves; with CachedUpdates the rows
// are copied into a record cache where inserts, changes and deletions wait until
// ApplyUpdates hands each one to OnUpdateRecord.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "data/CustomDataSet.h"
#include "data/DbLink.h"
#include "data/Params.h"
#include "data/StringList.h"

namespace vandrel {

class TMDataCache;

enum TMUpdateKind : std::uint8_t { mukModify = 0, mukInsert = 1, mukDelete = 2 };
// murSkip, or any other value, leaves the modification pending.
enum TMUpdateResult : std::uint8_t { murApply = 0, murUndo = 1, murSkip = 2 };
// mumDeleted, or any value above it, handles deletions only.
enum TMUpdateMethod : std::uint8_t {
  mumAll = 0,
  mumOrdered = 1,
  mumModified = 2,
  mumInserted = 3,
  mumDeleted = 4,
};

class TKMQuery : public TMCustomDataSet {
  VANDREL_CLASS(TKMQuery, TMCustomDataSet)
 public:
  using TUpdateRecordEvent =
      std::function<void(TKMQuery* Sender, TMUpdateKind UK, TMUpdateResult& UR, bool& Finish)>;

  explicit TKMQuery(TObject* Owner = nullptr);
  ~TKMQuery() override;

  TUpdateRecordEvent OnUpdateRecord;

  // The statement, one line per item; every change brings Params in step with the text.
  TStringList& GetSQL() { return FSQL; }
  void SetSQL(const TStringList& Value) { FSQL.Assign(Value); }
  AnsiString GetSQLText() const { return FSQL.GetText(); }
  TMParams* GetParams() const { return FParams.get(); }
  void SetParams(const TMParams& Value) { FParams->Assign(Value); }
  int GetParamCount() const { return FParams->GetCount(); }
  TMParam* ParamByName(const AnsiString& Name) const { return FParams->ByName(Name); }
  TMParam* FindParam(const AnsiString& Name) const { return FParams->Find(Name); }

  TMCustomDBLink* GetLink() const { return FLink; }
  // Only while closed (342); moves the query from its old link's list to the new one's.
  void SetLink(TMCustomDBLink* Value);

  bool GetCachedUpdates() const { return FCachedUpdates; }
  void SetCachedUpdates(bool Value);
  bool GetAutoUndo() const { return FAutoUndo; }
  void SetAutoUndo(bool Value) { FAutoUndo = Value; }
  bool GetOpenEmpty() const { return FOpenEmpty; }
  void SetOpenEmpty(bool Value);
  bool GetDelayLoad() const { return FDelayLoad; }
  void SetDelayLoad(bool Value);
  bool GetForwardOnly() const { return FForwardOnly; }
  void SetForwardOnly(bool Value);
  // Off: a uniqueidentifier column fails the open (413); on: it reads as its text.
  bool GetGuidsAsText() const { return FGuidsAsText; }
  void SetGuidsAsText(bool Value) { FGuidsAsText = Value; }
  bool GetCollectDriverInfo() const { return FCollectDriverInfo; }
  void SetCollectDriverInfo(bool Value) { FCollectDriverInfo = Value; }

  // Runs the text on the link as a statement that returns no rows (396 without a
  // connected link); the open state of the query is not involved.
  void ExecSQL();

  // Informational driver messages of the last open, created when first asked for.
  std::vector<AnsiString>& GetDriverInfo();
  void ClearDriverInfo();

  // Cached updates.
  int UpdatesCount() const { return FChangedCount + FInsertedCount + FDeletedCount; }
  bool UpdatesPending() const { return UpdatesCount() > 0; }
  bool IsRecordInserted();
  bool IsRecordModified();
  bool IsRecordDeleted();
  void CheckNotUpdating() const;
  void ApplyUpdates(TMUpdateMethod Method);
  void UndoUpdates(TMUpdateMethod Method);
  void SaveUpdatePosition();
  void RestoreUpdatePosition();
  bool GotoFirstModification(TMUpdateKind& Kind);
  bool GotoNextModification(TMUpdateKind& Kind, bool Stay);
  void AcceptModification(bool& Removed);
  void UndoModification(bool& Removed);

  // The result set of the open query (null when closed, opened empty, or released).
  TMCustomResultSet* GetResultSet() const { return FResultSet.get(); }

  // Overrides of the dataset's protocol.
  bool GetReadOnly() override { return !FCachedUpdates; }
  bool StoreReadOnly() override { return false; }
  bool UseFieldDBTypes() override { return !FCachedUpdates; }
  bool GetCountKnown() override;
  bool GetIsEmpty() override;
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
  bool WasPreviousFieldNull(int DSIndex, int DBIndex) override;
  AnsiString GetPreviousStringFieldValue(int DSIndex, int DBIndex) override;
  int GetPreviousIntegerFieldValue(int DSIndex, int DBIndex) override;
  double GetPreviousFloatFieldValue(int DSIndex, int DBIndex) override;
  Extended GetPreviousExtendedFieldValue(int DSIndex, int DBIndex) override;
  TDateTime GetPreviousDateTimeFieldValue(int DSIndex, int DBIndex) override;
  void* GetData() override;
  void SetData(void* D) override;
  void* GetExternalIndexData() override;
  void* UseExternalIndex(void* Handle) override;

 protected:
  int DoGetCount() override;
  void DoInsert() override;
  void DoAppend() override;
  void DoDelete() override;
  void DoExchange(int Position) override;
  void DoActivate() override;
  void DoDeactivate() override;
  void DoSetPosition(int Position) override;
  int GetRealPosition() override;
  bool DoStepTo(int Target) override;

 private:
  bool Cached() const { return FCachedUpdates && FCacheReady; }
  int RecordState() const;
  bool CopyOneRecord();
  // Copies every remaining row into the cache; the cache position is kept.
  void CopyAllRecords();
  void ImportAllFieldValues();
  void ImportOneFieldValue(int DSIndex, int DBIndex);
  void ImportValue(int DSIndex, int DBIndex);
  // The bookkeeping around a value written into the cache (Store writes it).
  template <class StoreFn>
  void ChangeCachedValue(StoreFn&& Store);
  // After a deletion: the next visible record, else the nearest previous one, else 0.
  void SettleAfterDelete(bool FromCurrent);
  // The first visible record from cache position From on, else the nearest one before it,
  // else position 0; hidden before is recounted.
  void SettleFrom(int From);
  int DeletedBefore(int CachePosition) const;
  bool FindModification(int From, TMUpdateKind& Kind);
  bool GotoModification(int From, TMUpdateKind& Kind);
  template <class HandleFn>
  void WalkModifications(TMUpdateMethod Method, HandleFn&& Handle);
  void SQLChanged();
  // The result set becomes Rows (none closes it); fields of a query without a cache read
  // straight from it.
  void ResetResultSet(TMCustomResultSet* Rows = nullptr);

  TStringList FSQL;
  std::unique_ptr<TMParams> FParams;
  TMCustomDBLink* FLink = nullptr;
  std::unique_ptr<TMCustomResultSet> FResultSet;
  std::unique_ptr<TMDataCache> FCache;
  bool FCacheReady = false;
  // The object is a TKMQuery itself: no descendant overrides the positioning (set on opening).
  bool FOwnOperations = false;
  std::unique_ptr<std::vector<AnsiString>> FDriverInfo;
  bool FCollectDriverInfo = false;
  bool FGuidsAsText = false;
  bool FCachedUpdates = false;
  bool FAutoUndo = false;
  bool FOpenEmpty = false;
  bool FDelayLoad = true;
  bool FForwardOnly = false;
  bool FUpdating = false;
  int FRowsTaken = 0;
  int FHiddenBefore = 0;
  int FChangedCount = 0;
  int FInsertedCount = 0;
  int FDeletedCount = 0;
  int FSavedUpdatePosition = -1;
  // The record at the saved update position was removed by the walk.
  bool FSavedRecordRemoved = false;
};

}  // namespace vandrel
