#include "data/Query.h"

#include <algorithm>
#include <typeinfo>

#include "data/DataCache.h"
#include "data/DataError.h"

namespace vandrel {

namespace {

// Record states of the cache: a value >= 0 is the result-set row of a record whose values
// are not copied yet.
constexpr int kCopied = -1;
constexpr int kInserted = -2;
constexpr int kChanged = -3;
constexpr int kDeleted = -4;

bool KindOfState(int State, TMUpdateKind& Kind) {
  switch (State) {
    case kInserted: Kind = mukInsert; return true;
    case kChanged: Kind = mukModify; return true;
    case kDeleted: Kind = mukDelete; return true;
    default: return false;
  }
}

}  // namespace

TKMQuery::TKMQuery(TObject* Owner)
    : TMCustomDataSet(Owner), FParams(std::make_unique<TMParams>(this)), FCache(std::make_unique<TMDataCache>()) {
  FSQL.OnChange = [this] { SQLChanged(); };
  FCache->OnDeleteData = [this](TMDataCache*, void* D) {
    if (OnDeleteData) OnDeleteData(this, D);
  };
}

TKMQuery::~TKMQuery() {
  ResetResultSet();
  BeforeDestruction();
  if (FLink) FLink->DetachQuery(this);
  FLink = nullptr;
  FSQL.OnChange = nullptr;
}

void TKMQuery::SQLChanged() { FParams->AdjustToQueryText(GetSQLText(), nullptr, false); }

void TKMQuery::SetLink(TMCustomDBLink* Value) {
  if (Value == FLink) return;
  CheckNotActive();
  if (FLink) FLink->DetachQuery(this);
  FLink = Value;
  if (FLink) FLink->AttachQuery(this);
}

void TKMQuery::ResetResultSet(TMCustomResultSet* Rows) {
  // Nothing reads the old one while it goes.
  SetDirectResults(nullptr);
  FResultSet.reset(Rows);
  SetDirectResults(FCachedUpdates ? nullptr : Rows);
}

void TKMQuery::SetCachedUpdates(bool Value) {
  CheckNotActive();
  FCachedUpdates = Value;
}

void TKMQuery::SetOpenEmpty(bool Value) {
  if (Value == FOpenEmpty) return;
  CheckNotActive();
  FOpenEmpty = Value;
}

void TKMQuery::SetForwardOnly(bool Value) {
  if (Value == FForwardOnly) return;
  CheckNotActive();
  FForwardOnly = Value;
}

void TKMQuery::SetDelayLoad(bool Value) {
  if (Value || !GetActive() || !Cached() || !FResultSet) {
    FDelayLoad = Value;
    return;
  }
  CheckNotUpdating();
  const int position = FCache->GetPosition();
  try {
    for (int i = 0; i < FCache->GetCount(); ++i) {
      FCache->SetPosition(i);
      ImportAllFieldValues();
    }
  } catch (...) {
    FCache->SetPosition(position);
    throw;
  }
  FCache->SetPosition(position);
  FResultSet->SetPositionCommonCode(FRowsTaken);
  if (FResultSet->GetPosition() != FRowsTaken) ResetResultSet();
  FDelayLoad = false;
}

void TKMQuery::ExecSQL() {
  if (!FLink || !FLink->GetConnected()) throw EMDataError(396, "");
  FLink->ExecSQL(GetSQLText(), FParams.get());
}

std::vector<AnsiString>& TKMQuery::GetDriverInfo() {
  if (!FDriverInfo) FDriverInfo = std::make_unique<std::vector<AnsiString>>();
  return *FDriverInfo;
}

void TKMQuery::ClearDriverInfo() {
  if (FDriverInfo) FDriverInfo->clear();
}

void TKMQuery::CheckNotUpdating() const {
  if (FUpdating) throw EMDataError(dterr::Updating, "");
}

// ---- opening and closing ----

void TKMQuery::DoActivate() {
  FOwnOperations = typeid(*this) == typeid(TKMQuery);
  FSavedUpdatePosition = -1;
  FRowsTaken = FHiddenBefore = FChangedCount = FInsertedCount = FDeletedCount = 0;
  ResetResultSet();
  FCacheReady = false;
  FCache->Reset();
  try {
    if (!FOpenEmpty) {
      if (!FLink || !FLink->GetConnected()) throw EMDataError(396, "");
      ResetResultSet(FLink->CreateResultSet(this));
      FResultSet->Open(GetSQLText(), FParams.get());
      for (int i = 0; i < FResultSet->GetFieldCount(); ++i)
        GetFields()->FindOrAddDBField(FResultSet->GetFieldName(i), FResultSet->GetFieldType(i), i)->DBScale =
            FResultSet->GetFieldScale(i);
    }
    if (FCachedUpdates) {
      GetFields()->SetDSIndexes();
      FCache->Init(GetFields());
      FCacheReady = true;
      CopyOneRecord();
    }
  } catch (...) {
    ResetResultSet();
    FCacheReady = false;
    throw;
  }
}

void TKMQuery::DoDeactivate() {
  FHiddenBefore = FChangedCount = FInsertedCount = FDeletedCount = 0;
  FCacheReady = false;
  try {
    FCache->Reset();
  } catch (...) {
    // Closing never raises.
  }
  ResetResultSet();
}

// ---- positions and counts ----

void TKMQuery::DoSetPosition(int Position) {
  CheckNotUpdating();
  if (!Cached()) {
    if (FResultSet) FResultSet->SetPositionCommonCode(Position);
    return;
  }
  if (FCache->GetIsEmpty()) return;
  // A deleted record is current only after a modification search or when every record is
  // deleted: a move starts from the nearest visible record, if there is one.
  if (RecordState() == kDeleted) {
    SettleAfterDelete(false);
    if (RecordState() == kDeleted) return;
  }
  while (true) {
    const int start = FCache->GetPosition();
    const int visible = start - FHiddenBefore;
    if (visible < Position) {
      int passed = 0;
      int q = start + 1;
      for (; q < FCache->GetCount(); ++q) {
        FCache->SetPosition(q);
        if (RecordState() != kDeleted) break;
        ++passed;
      }
      if (q < FCache->GetCount()) {
        FHiddenBefore += passed;
        continue;
      }
      const int hidden = FHiddenBefore;
      bool copied = false;
      try {
        if (FResultSet && (!FResultSet->GetCountKnown() || FRowsTaken < FResultSet->GetCount()))
          copied = CopyOneRecord();
      } catch (...) {
        FCache->SetPosition(start);
        FHiddenBefore = hidden;
        throw;
      }
      if (copied) {
        FCache->SetPosition(FCache->GetCount() - 1);
        FHiddenBefore = FDeletedCount;
        continue;
      }
      FCache->SetPosition(start);
      FHiddenBefore = hidden;
      return;
    }
    if (visible > Position) {
      int passed = 0;
      int q = start - 1;
      for (; q >= 0; --q) {
        FCache->SetPosition(q);
        if (RecordState() != kDeleted) break;
        ++passed;
      }
      if (q >= 0) {
        FHiddenBefore -= passed;
        continue;
      }
      FCache->SetPosition(start);
      return;
    }
    return;
  }
}

// The result set steps itself when the move is DoSetPosition's plain case: no cache, no update
// handler running (DoSetPosition raises then), and no OnQuery listening to positioning.
bool TKMQuery::DoStepTo(int Target) {
  if (!FOwnOperations || Cached() || FUpdating || !FResultSet || FResultSet->GetLink()->OnQuery) return false;
  return FResultSet->TryStep(Target);
}

int TKMQuery::GetRealPosition() {
  if (!Cached()) return FResultSet ? FResultSet->GetPosition() : -1;
  if (FCache->GetIsEmpty() || RecordState() == kDeleted) return -1;
  return FCache->GetPosition() - FHiddenBefore;
}

int TKMQuery::DoGetCount() {
  if (!Cached()) return FResultSet ? FResultSet->GetCount() : 0;
  if (FResultSet && FResultSet->GetCountKnown())
    return FResultSet->GetCount() - FRowsTaken + FCache->GetCount() - FDeletedCount;
  if (FResultSet) CopyAllRecords();
  return FCache->GetCount() - FDeletedCount;
}

bool TKMQuery::GetCountKnown() { return FResultSet ? FResultSet->GetCountKnown() : true; }

bool TKMQuery::GetIsEmpty() {
  if (!Cached()) return FResultSet ? FResultSet->GetIsEmpty() : true;
  if (FCache->GetCount() > FDeletedCount) return false;
  // The record an update handler is given may be the last deleted one; its values must
  // still be readable there.
  if (FUpdating && !FCache->GetIsEmpty()) return false;
  if (!FResultSet) return true;
  if (FResultSet->GetCountKnown()) return FRowsTaken >= FResultSet->GetCount();
  FResultSet->SetPositionCommonCode(FRowsTaken);
  return FResultSet->GetPosition() != FRowsTaken;
}

// ---- copying rows into the cache ----

int TKMQuery::RecordState() const { return FCache->GetRecordState(); }

bool TKMQuery::CopyOneRecord() {
  if (!FResultSet) return false;
  FResultSet->SetPositionCommonCode(FRowsTaken);
  if (FResultSet->GetPosition() == FRowsTaken) {
    FCache->AppendRecord(FRowsTaken);
    ++FRowsTaken;
    if (FForwardOnly || !FDelayLoad) {
      ImportAllFieldValues();
      // The driver may already have told the end: with the last row copied the result set
      // has done its work, and no later move would ask it again.
      if (FResultSet->GetCountKnown() && FRowsTaken >= FResultSet->GetCount()) ResetResultSet();
    }
    return true;
  }
  // Every row is in the cache now: without delayed loading the result set has done its work.
  if (FForwardOnly || !FDelayLoad) ResetResultSet();
  return false;
}

void TKMQuery::CopyAllRecords() {
  const int position = FCache->GetPosition();
  try {
    while (CopyOneRecord()) {
    }
  } catch (...) {
    FCache->SetPosition(position);
    throw;
  }
  FCache->SetPosition(position);
}

void TKMQuery::ImportValue(int DSIndex, int DBIndex) {
  if (DBIndex < 0 || FResultSet->IsFieldNull(DBIndex)) {
    FCache->SetNull(DSIndex, false);
    return;
  }
  switch (FCache->GetDBType(DSIndex)) {
    case mftInteger: FCache->ImportInteger(DSIndex, false, FResultSet->GetIntegerFieldValue(DBIndex)); break;
    case mftFloat: FCache->ImportFloat(DSIndex, false, FResultSet->GetFloatFieldValue(DBIndex)); break;
    case mftExtended: FCache->ImportExtended(DSIndex, false, FResultSet->GetExtendedFieldValue(DBIndex)); break;
    case mftDateTime: FCache->ImportDateTime(DSIndex, false, FResultSet->GetDateTimeFieldValue(DBIndex)); break;
    default: FCache->ImportString(DSIndex, false, FResultSet->GetStringFieldValue(DBIndex)); break;
  }
}

void TKMQuery::ImportAllFieldValues() {
  if (FCache->GetIsEmpty() || !FResultSet) return;
  const int row = RecordState();
  if (row < 0) return;
  FResultSet->SetPositionCommonCode(row);
  TMFields* fields = GetFields();
  for (int i = 0; i < fields->GetCount(); ++i) {
    TMField* f = fields->GetFields(i);
    if (f->DSIndex >= 0 && !FCache->IsChanged(f->DSIndex)) ImportValue(f->DSIndex, f->DBIndex);
  }
  FCache->SetRecordState(kCopied);
}

void TKMQuery::ImportOneFieldValue(int DSIndex, int DBIndex) {
  if (FCache->GetIsEmpty() || !FResultSet || DSIndex < 0) return;
  const int row = RecordState();
  if (row < 0 || FCache->IsChanged(DSIndex)) return;
  FResultSet->SetPositionCommonCode(row);
  ImportValue(DSIndex, DBIndex);
}

// ---- current values ----

bool TKMQuery::IsCurrentFieldNull(int DSIndex, int DBIndex) {
  if (Cached()) {
    if (FCache->GetIsEmpty() || DSIndex < 0) return true;
    ImportOneFieldValue(DSIndex, DBIndex);
    return FCache->IsNull(DSIndex, false);
  }
  return !FResultSet || DBIndex < 0 || FResultSet->IsFieldNull(DBIndex);
}

AnsiString TKMQuery::GetCurrentStringFieldValue(int DSIndex, int DBIndex) {
  if (Cached()) {
    if (FCache->GetIsEmpty() || DSIndex < 0) return {};
    ImportOneFieldValue(DSIndex, DBIndex);
    return FCache->GetString(DSIndex, false);
  }
  return FResultSet && DBIndex >= 0 ? FResultSet->GetStringFieldValue(DBIndex) : AnsiString();
}

int TKMQuery::GetCurrentIntegerFieldValue(int DSIndex, int DBIndex) {
  if (Cached()) {
    if (FCache->GetIsEmpty() || DSIndex < 0) return 0;
    ImportOneFieldValue(DSIndex, DBIndex);
    return FCache->GetInteger(DSIndex, false);
  }
  return FResultSet && DBIndex >= 0 ? FResultSet->GetIntegerFieldValue(DBIndex) : 0;
}

double TKMQuery::GetCurrentFloatFieldValue(int DSIndex, int DBIndex) {
  if (Cached()) {
    if (FCache->GetIsEmpty() || DSIndex < 0) return 0.0;
    ImportOneFieldValue(DSIndex, DBIndex);
    return FCache->GetFloat(DSIndex, false);
  }
  return FResultSet && DBIndex >= 0 ? FResultSet->GetFloatFieldValue(DBIndex) : 0.0;
}

Extended TKMQuery::GetCurrentExtendedFieldValue(int DSIndex, int DBIndex) {
  if (Cached()) {
    if (FCache->GetIsEmpty() || DSIndex < 0) return 0.0L;
    ImportOneFieldValue(DSIndex, DBIndex);
    return FCache->GetExtended(DSIndex, false);
  }
  return FResultSet && DBIndex >= 0 ? FResultSet->GetExtendedFieldValue(DBIndex) : 0.0L;
}

TDateTime TKMQuery::GetCurrentDateTimeFieldValue(int DSIndex, int DBIndex) {
  if (Cached()) {
    if (FCache->GetIsEmpty() || DSIndex < 0) return 0.0;
    ImportOneFieldValue(DSIndex, DBIndex);
    return FCache->GetDateTime(DSIndex, false);
  }
  return FResultSet && DBIndex >= 0 ? FResultSet->GetDateTimeFieldValue(DBIndex) : 0.0;
}

template <class StoreFn>
void TKMQuery::ChangeCachedValue(StoreFn&& Store) {
  if (!Cached() || FCache->GetIsEmpty()) return;
  int state = RecordState();
  if (state >= 0) {
    ImportAllFieldValues();
    state = kCopied;
  }
  if (state == kCopied) FCache->SavePrevious();
  Store();
  if (state == kCopied) {
    FCache->SetRecordState(kChanged);
    ++FChangedCount;
  }
  if (RecordState() == kChanged && FAutoUndo && !FCache->DiffersFromPrevious()) {
    FCache->SetRecordState(kCopied);
    --FChangedCount;
    FCache->ClearPrevious();
  }
}

void TKMQuery::SetCurrentFieldNull(int DSIndex, int) {
  if (DSIndex >= 0) ChangeCachedValue([&] { FCache->SetNull(DSIndex, false); });
}

void TKMQuery::SetCurrentStringFieldValue(int DSIndex, int, const AnsiString& Value) {
  if (DSIndex >= 0) ChangeCachedValue([&] { FCache->ImportString(DSIndex, false, Value); });
}

void TKMQuery::SetCurrentIntegerFieldValue(int DSIndex, int, int Value) {
  if (DSIndex >= 0) ChangeCachedValue([&] { FCache->ImportInteger(DSIndex, false, Value); });
}

void TKMQuery::SetCurrentFloatFieldValue(int DSIndex, int, double Value) {
  if (DSIndex >= 0) ChangeCachedValue([&] { FCache->ImportFloat(DSIndex, false, Value); });
}

void TKMQuery::SetCurrentExtendedFieldValue(int DSIndex, int, Extended Value) {
  if (DSIndex >= 0) ChangeCachedValue([&] { FCache->ImportExtended(DSIndex, false, Value); });
}

void TKMQuery::SetCurrentDateTimeFieldValue(int DSIndex, int, TDateTime Value) {
  if (DSIndex >= 0) ChangeCachedValue([&] { FCache->ImportDateTime(DSIndex, false, Value); });
}

// ---- previous values ----

bool TKMQuery::WasPreviousFieldNull(int DSIndex, int DBIndex) {
  if (Cached() && !FCache->GetIsEmpty() && DSIndex >= 0) {
    const int state = RecordState();
    if (state == kInserted) return true;
    if (state == kChanged || state == kDeleted) return FCache->IsNull(DSIndex, true);
  }
  return IsCurrentFieldNull(DSIndex, DBIndex);
}

AnsiString TKMQuery::GetPreviousStringFieldValue(int DSIndex, int DBIndex) {
  if (Cached() && !FCache->GetIsEmpty() && DSIndex >= 0) {
    const int state = RecordState();
    if (state == kInserted) return {};
    if (state == kChanged || state == kDeleted) return FCache->GetString(DSIndex, true);
  }
  return GetCurrentStringFieldValue(DSIndex, DBIndex);
}

int TKMQuery::GetPreviousIntegerFieldValue(int DSIndex, int DBIndex) {
  if (Cached() && !FCache->GetIsEmpty() && DSIndex >= 0) {
    const int state = RecordState();
    if (state == kInserted) return 0;
    if (state == kChanged || state == kDeleted) return FCache->GetInteger(DSIndex, true);
  }
  return GetCurrentIntegerFieldValue(DSIndex, DBIndex);
}

double TKMQuery::GetPreviousFloatFieldValue(int DSIndex, int DBIndex) {
  if (Cached() && !FCache->GetIsEmpty() && DSIndex >= 0) {
    const int state = RecordState();
    if (state == kInserted) return 0.0;
    if (state == kChanged || state == kDeleted) return FCache->GetFloat(DSIndex, true);
  }
  return GetCurrentFloatFieldValue(DSIndex, DBIndex);
}

Extended TKMQuery::GetPreviousExtendedFieldValue(int DSIndex, int DBIndex) {
  if (Cached() && !FCache->GetIsEmpty() && DSIndex >= 0) {
    const int state = RecordState();
    if (state == kInserted) return 0.0L;
    if (state == kChanged || state == kDeleted) return FCache->GetExtended(DSIndex, true);
  }
  return GetCurrentExtendedFieldValue(DSIndex, DBIndex);
}

TDateTime TKMQuery::GetPreviousDateTimeFieldValue(int DSIndex, int DBIndex) {
  if (Cached() && !FCache->GetIsEmpty() && DSIndex >= 0) {
    const int state = RecordState();
    if (state == kInserted) return 0.0;
    if (state == kChanged || state == kDeleted) return FCache->GetDateTime(DSIndex, true);
  }
  return GetCurrentDateTimeFieldValue(DSIndex, DBIndex);
}

// ---- editing ----

void TKMQuery::DoInsert() {
  CheckNotUpdating();
  if (!Cached()) return;
  FCache->InsertRecord(kInserted);
  ++FInsertedCount;
}

void TKMQuery::DoAppend() {
  CheckNotUpdating();
  if (!Cached()) return;
  CopyAllRecords();
  if (FCache->GetCount() > 0) FCache->SetPosition(FCache->GetCount() - 1);
  FHiddenBefore = FDeletedCount;
  FCache->AppendRecord(kInserted);
  ++FInsertedCount;
}

void TKMQuery::DoDelete() {
  CheckNotUpdating();
  if (!Cached() || FCache->GetIsEmpty()) return;
  ImportAllFieldValues();
  const int state = RecordState();
  if (state == kDeleted) return;
  if (state == kInserted) {
    FCache->DeleteRecord();
    --FInsertedCount;
    SettleAfterDelete(true);
    return;
  }
  if (state == kCopied) FCache->SwapCurrentPrevious();
  FCache->ClearCurrent();
  if (state == kChanged) --FChangedCount;
  FCache->SetRecordState(kDeleted);
  ++FDeletedCount;
  SettleAfterDelete(false);
}

void TKMQuery::SettleAfterDelete(bool FromCurrent) {
  const int origin = FCache->GetPosition();
  SettleFrom(FromCurrent ? origin : origin + 1);
}

void TKMQuery::SettleFrom(int From) {
  int q = From;
  bool found = false;
  while (!found) {
    if (q < FCache->GetCount()) {
      FCache->SetPosition(q);
      found = RecordState() != kDeleted;
      ++q;
    } else if (CopyOneRecord()) {
      found = true;
    } else {
      break;
    }
  }
  for (q = std::min(From, FCache->GetCount()) - 1; !found && q >= 0; --q) {
    FCache->SetPosition(q);
    found = RecordState() != kDeleted;
  }
  if (!found) FCache->SetPosition(0);
  FHiddenBefore = DeletedBefore(FCache->GetPosition());
}

int TKMQuery::DeletedBefore(int CachePosition) const {
  const int position = FCache->GetPosition();
  int n = 0;
  for (int i = 0; i < CachePosition; ++i) {
    FCache->SetPosition(i);
    if (RecordState() == kDeleted) ++n;
  }
  FCache->SetPosition(position);
  return n;
}

void TKMQuery::DoExchange(int Position) {
  CheckNotUpdating();
  if (!Cached()) return;
  const int b = FCache->GetPosition();
  SetPosition(Position);
  const int c = FCache->GetPosition();
  if (b != c) {
    FCache->SetPosition(b);
    FCache->Exchange(c);
  }
}

// ---- user data and external index ----

void* TKMQuery::GetData() {
  if (!Cached() || FCache->GetIsEmpty()) return nullptr;
  return FCache->GetRecordData();
}

void TKMQuery::SetData(void* D) {
  if (Cached() && !FCache->GetIsEmpty()) FCache->SetRecordData(D);
}

void* TKMQuery::GetExternalIndexData() {
  if (!GetActive()) return nullptr;
  if (Cached()) return FCache->GetCurrentRecord();
  if (FForwardOnly || !FResultSet || !FResultSet->ExternalIndexSupport()) return nullptr;
  return FResultSet->GetExternalIndexData();
}

void* TKMQuery::UseExternalIndex(void* Handle) {
  if (!GetActive()) return nullptr;
  if (Cached()) {
    void* previous = FCache->GetFixedRecord();
    FCache->SetFixedRecord(Handle);
    return previous;
  }
  if (FForwardOnly || !FResultSet || !FResultSet->ExternalIndexSupport()) return nullptr;
  void* previous = FResultSet->FExternalIndex;
  FResultSet->FExternalIndex = Handle;
  return previous;
}

// ---- modifications ----

bool TKMQuery::IsRecordInserted() { return Cached() && !FCache->GetIsEmpty() && RecordState() == kInserted; }
bool TKMQuery::IsRecordModified() { return Cached() && !FCache->GetIsEmpty() && RecordState() == kChanged; }
bool TKMQuery::IsRecordDeleted() { return Cached() && !FCache->GetIsEmpty() && RecordState() == kDeleted; }

void TKMQuery::SaveUpdatePosition() {
  FSavedUpdatePosition = FCache->GetPosition();
  FSavedRecordRemoved = false;
}

void TKMQuery::RestoreUpdatePosition() {
  FCache->SetPosition(FSavedUpdatePosition);
  FSavedUpdatePosition = -1;
}

bool TKMQuery::FindModification(int From, TMUpdateKind& Kind) {
  for (int i = From; i < FCache->GetCount(); ++i) {
    FCache->SetPosition(i);
    if (KindOfState(RecordState(), Kind)) return true;
  }
  return false;
}

bool TKMQuery::GotoFirstModification(TMUpdateKind& Kind) { return Cached() && GotoModification(0, Kind); }

bool TKMQuery::GotoNextModification(TMUpdateKind& Kind, bool Stay) {
  return Cached() && GotoModification(FCache->GetPosition() + (Stay ? 0 : 1), Kind);
}

// Inside an update walk the saved position and hidden before are kept in step by the walk
// itself. Called from outside, the found record becomes the dataset's current one: hidden
// before is recounted for it, and a search that finds nothing leaves the cursor where it was.
bool TKMQuery::GotoModification(int From, TMUpdateKind& Kind) {
  if (FUpdating) return FindModification(From, Kind);
  const int start = FCache->GetPosition();
  const bool found = FindModification(From, Kind);
  if (found)
    FHiddenBefore = DeletedBefore(FCache->GetPosition());
  else
    FCache->SetPosition(start);
  ReapplyPosition();
  return found;
}

void TKMQuery::AcceptModification(bool& Removed) {
  Removed = false;
  if (!Cached() || FCache->GetIsEmpty()) return;
  const int position = FCache->GetPosition();
  switch (RecordState()) {
    case kInserted:
      FCache->SetRecordState(kCopied);
      --FInsertedCount;
      break;
    case kChanged:
      FCache->ClearPrevious();
      FCache->SetRecordState(kCopied);
      --FChangedCount;
      break;
    case kDeleted:
      FCache->DeleteRecord();
      if (position < FSavedUpdatePosition) {
        --FSavedUpdatePosition;
        --FHiddenBefore;
      }
      --FDeletedCount;
      Removed = FCache->GetPosition() == position;
      if (position == FSavedUpdatePosition) FSavedRecordRemoved = true;
      break;
    default: break;
  }
}

void TKMQuery::UndoModification(bool& Removed) {
  Removed = false;
  if (!Cached() || FCache->GetIsEmpty()) return;
  const int position = FCache->GetPosition();
  switch (RecordState()) {
    case kInserted:
      FCache->DeleteRecord();
      if (position < FSavedUpdatePosition) --FSavedUpdatePosition;
      --FInsertedCount;
      Removed = FCache->GetPosition() == position;
      if (position == FSavedUpdatePosition) FSavedRecordRemoved = true;
      break;
    case kChanged:
      FCache->ClearCurrent();
      FCache->SwapCurrentPrevious();
      FCache->SetRecordState(kCopied);
      --FChangedCount;
      break;
    case kDeleted:
      FCache->SwapCurrentPrevious();
      FCache->SetRecordState(kCopied);
      if (position < FSavedUpdatePosition) --FHiddenBefore;
      --FDeletedCount;
      break;
    default: break;
  }
}

template <class HandleFn>
void TKMQuery::WalkModifications(TMUpdateMethod Method, HandleFn&& Handle) {
  CheckNotUpdating();
  BeginUpdate();
  SaveUpdatePosition();
  FUpdating = true;
  // The walk ends on the record that was current; when the walk removed that one, on the
  // nearest record left (the next one first), so the query never stands on a gap.
  auto finishWalk = [&] {
    FUpdating = false;
    const int saved = FSavedUpdatePosition;
    const bool removed = FSavedRecordRemoved;
    RestoreUpdatePosition();
    auto endUpdate = [&] {
      ReapplyPosition();
      EndUpdate();
    };
    try {
      if (removed) SettleFrom(saved);
    } catch (...) {
      endUpdate();
      throw;
    }
    endUpdate();
  };
  try {
    bool finish = false;
    auto pass = [&](TMUpdateKind wanted) {
      TMUpdateKind kind;
      bool found = GotoFirstModification(kind);
      while (found && !finish) {
        bool removed = false;
        if (Method == mumAll || kind == wanted) Handle(kind, removed, finish);
        if (finish) break;
        found = GotoNextModification(kind, removed);
      }
    };
    pass(Method == mumModified ? mukModify : Method == mumInserted ? mukInsert : mukDelete);
    if (Method == mumOrdered && !finish) pass(mukModify);
    if (Method == mumOrdered && !finish) pass(mukInsert);
  } catch (...) {
    try {
      finishWalk();
    } catch (...) {
      // The walk's own failure is the one to report.
    }
    throw;
  }
  finishWalk();
}

void TKMQuery::ApplyUpdates(TMUpdateMethod Method) {
  if (!FCachedUpdates) return;
  WalkModifications(Method, [&](TMUpdateKind kind, bool& removed, bool& finish) {
    TMUpdateResult result = murApply;
    if (OnUpdateRecord) OnUpdateRecord(this, kind, result, finish);
    if (result == murApply)
      AcceptModification(removed);
    else if (result == murUndo)
      UndoModification(removed);
  });
}

void TKMQuery::UndoUpdates(TMUpdateMethod Method) {
  if (!FCachedUpdates) return;
  WalkModifications(Method, [&](TMUpdateKind, bool& removed, bool&) { UndoModification(removed); });
}

}  // namespace vandrel
