#include "data/CustomDataSet.h"

#include <algorithm>

#include "data/DataError.h"
#include "data/DataInterface.h"
#include "foundation/MacList.h"
#include "foundation/MacSet.h"

namespace vandrel {

TMCustomDataSet::TMCustomDataSet(TObject* Owner)
    : FOwner(Owner),
      FFields(std::make_unique<TMFields>(this)),
      FBookmarks(std::make_unique<TMacSetOfIntegers>(100)),
      FScrollStack(std::make_unique<TMacListOfIntegers>(100)) {
  UpdateQuiet();
}

TMCustomDataSet::~TMCustomDataSet() {
  // Normally BeforeDestruction has run in the descendant's destructor; here the storage is
  // gone, so only what needs no override is undone.
  if (!FDestroying) {
    FDestroying = true;
    DetachInterfaces();
  }
  FActive = false;
  FFields->ResetDSIndexes();
}

void TMCustomDataSet::DetachInterfaces() noexcept {
  // Detaching removes the interface from the list even when its handler raises.
  while (!FInterfaces.empty()) {
    try {
      FInterfaces.back()->SetDataSet(nullptr);
    } catch (...) {
    }
  }
}

void TMCustomDataSet::BeforeDestruction() noexcept {
  if (FDestroying) return;
  FDestroying = true;
  DetachInterfaces();
  FBookmarks->Clear();
  try {
    SetActive(false);
  } catch (...) {
    FActive = false;
  }
}

// --- Opening and closing ---

void TMCustomDataSet::SetActive(bool Value) {
  if (Value == FActive) return;
  if (Value) {
    FFields->ResetDSIndexes();
    try {
      DoActivate();
      FFields->SetDSIndexes();
    } catch (...) {
      FEof = FBof = true;
      SetDirectLayout(nullptr);
      FFields->ResetDSIndexes();
      throw;
    }
    FActive = true;
    // The cached position may be stale from an earlier opening.
    ReapplyPosition();
    First();
    NotifyInterfaces(diaOpened, 0);
  } else {
    FBookmarks->Clear();
    FActive = false;
    // Fields read in place only while the dataset is open.
    SetDirectLayout(nullptr);
    try {
      NotifyInterfaces(diaClosed, 0);
    } catch (...) {
    }
    FFields->ResetDSIndexes();
    try {
      DoDeactivate();
    } catch (...) {
      FEof = FBof = true;
      FFields->ResetDSIndexes();
      throw;
    }
    FEof = FBof = true;
    FFields->ResetDSIndexes();
  }
}

// --- Position and navigation ---

int TMCustomDataSet::GetCount() { return FActive ? DoGetCount() : 0; }

int TMCustomDataSet::GetPosition() {
  if (!FActive || GetIsEmpty()) return -1;
  return FPosition;
}

void TMCustomDataSet::ReapplyPosition() { FPosition = GetRealPosition(); }

void TMCustomDataSet::SetPosition(int Position) {
  if (!FActive || GetIsEmpty() || Position == FPosition) return;
  MoveTo(Position);
}

void TMCustomDataSet::MoveTo(int Position) {
  const int Old = FPosition;
  try {
    DoSetPosition(Position);
  } catch (...) {
    ReapplyPosition();
    if (FPosition != Old) NotifyInterfaces(diaPositionChanged, 0);
    throw;
  }
  ReapplyPosition();
  if (FPosition != Old) NotifyInterfaces(diaPositionChanged, 0);
}

void TMCustomDataSet::First() {
  if (!FActive) return;
  SetPosition(0);
  FEof = FBof = GetPosition() != 0;
}

// A step goes to the neighbour directly (SetPosition would ask for emptiness again) and
// compares the position reached.
bool TMCustomDataSet::StepThroughProtocol(int Target) {
  if (GetIsEmpty()) return false;
  MoveTo(Target);
  return FPosition == Target;
}

void TMCustomDataSet::Last() {
  if (!FActive) return;
  const int Target = GetCount() - 1;
  SetPosition(Target);
  FEof = FBof = Target < 0 || GetPosition() != Target;
}

void TMCustomDataSet::MoveBy(int Distance) {
  if (!FActive || FEof || FBof || Distance == 0) return;
  const int Target = GetPosition() + Distance;
  SetPosition(Target);
  const int Reached = GetPosition();
  FEof = Reached < Target;
  FBof = Reached > Target;
}

// --- Editing ---

template <class Body>
void TMCustomDataSet::InUpdate(bool Reapply, Body Run) {
  BeginUpdate();
  try {
    Run();
  } catch (...) {
    // On failure too: the position is re-read and the update notifications stay balanced.
    if (Reapply) ReapplyPosition();
    EndUpdate();
    throw;
  }
  if (Reapply) ReapplyPosition();
  EndUpdate();
}

void TMCustomDataSet::Insert() {
  CheckActive();
  CheckNotReadOnly();
  DoInsert();
  ReapplyPosition();
  MoveBookmarks(GetPosition(), true);
  NotifyInterfaces(diaRecordAdded, 0);
}

void TMCustomDataSet::AppendThroughProtocol() {
  CheckActive();
  CheckCanModify();
  DoAppend();
  ReapplyPosition();
  NotifyInterfaces(diaRecordAdded, 0);
}

void TMCustomDataSet::DeleteCurrentRecord() {
  const int Deleted = GetPosition();
  SetBookmark(false);
  DoDelete();
  ReapplyPosition();
  if (GetPosition() < 0) FEof = FBof = true;
  MoveBookmarks(Deleted, false);
  NotifyInterfaces(diaRecordDeleted, 0);
}

void TMCustomDataSet::Delete() {
  CheckActive();
  CheckNotReadOnly();
  CheckNotEmpty();
  DeleteCurrentRecord();
}

void TMCustomDataSet::Clear() {
  CheckActive();
  CheckNotReadOnly();
  if (GetIsEmpty()) return;
  InUpdate(false, [&] {
    while (GetPosition() >= 0) DeleteCurrentRecord();
    FEof = FBof = true;
  });
}

void TMCustomDataSet::Exchange(int Target) {
  CheckActive();
  CheckNotReadOnly();
  CheckNotEmpty();
  if (Target < 0) Target = 0;
  if (GetCountKnown()) Target = std::min(Target, GetCount() - 1);
  if (Target == GetPosition()) return;
  InUpdate(true, [&] {
    const int P = GetPosition();
    const bool PMarked = GetBookmark();
    SetPosition(Target);
    const int Q = GetPosition();
    const bool QMarked = GetBookmark();
    if (P != Q) {
      DoExchange(P);
      SetPosition(P);
      SetBookmark(QMarked);
      SetPosition(Q);
      SetBookmark(PMarked);
    }
  });
}

void* TMCustomDataSet::InsertData(void* D) {
  Insert();
  SetData(D);
  return GetData();
}

void* TMCustomDataSet::AppendData(void* D) {
  Append();
  SetData(D);
  return GetData();
}

// --- Sorting and searching ---

int TMCustomDataSet::CompareRecordAt(int Position) {
  SetPosition(Position);
  TMDSCompareResult Result = dscEqual;
  OnCompareCurrentValue(this, Result);
  if (Result == dscLess) return 1;
  if (Result == dscGreater) return -1;
  return 0;
}

void TMCustomDataSet::ExchangeRecords(int A, int B) {
  const int Count = GetCount();
  if (A == B || A < 0 || B < 0 || A >= Count || B >= Count) return;
  SetPosition(A);
  DoExchange(B);
  ReapplyPosition();
}

void TMCustomDataSet::SortRange(int L, int R) {
  // The recursion of the partitioning runs on an explicit stack, so that a long run of
  // unbalanced partitions cannot exhaust the machine stack; the order of comparisons,
  // exchanges and progress reports is that of the plain recursive form.
  struct Frame {
    int L, R, I, J;
    int Stage;  // 0: partition, 1: left part done, 2: right part done
  };
  std::vector<Frame> Stack;
  Stack.push_back({L, R, 0, 0, 0});
  const int Count = GetCount();
  while (!Stack.empty()) {
    Frame& F = Stack.back();
    if (F.Stage == 0) {
      int I = F.L, J = F.R, P = (F.L + F.R) / 2;
      do {
        SetPosition(P);
        OnCacheCurrentValue(this);
        while (I != P && CompareRecordAt(I) == 1) ++I;
        while (J != P && CompareRecordAt(J) == -1) --J;
        if (I <= J) {
          if (P == I) {
            P = J;
          } else if (P == J) {
            P = I;
          }
          if (I != J) ExchangeRecords(I, J);
          ++I;
          --J;
        }
      } while (I <= J);
      F.I = I;
      F.J = J;
      F.Stage = 1;
      if (F.L < J) {
        Stack.push_back({F.L, J, 0, 0, 0});
        continue;
      }
    }
    Frame& G = Stack.back();
    if (G.Stage == 1) {
      G.Stage = 2;
      if (G.I < G.R) {
        const int NL = G.I, NR = G.R;
        Stack.push_back({NL, NR, 0, 0, 0});
        continue;
      }
    }
    const int Done = Stack.back().R;
    Stack.pop_back();
    if (OnProgress) OnProgress(this, static_cast<int>(static_cast<long long>(Done) * 100 / Count));
  }
}

void TMCustomDataSet::QuickSort() {
  CheckActive();
  CheckNotReadOnly();
  if (GetIsEmpty()) return;
  if (!OnCacheCurrentValue || !OnCompareCurrentValue) throw EMDataError(dterr::NoSortEvents, "");
  InUpdate(true, [&] {
    FBookmarks->Clear();
    SortRange(0, GetCount() - 1);
    SetPosition(0);
  });
}

int TMCustomDataSet::QuickFind() {
  CheckActive();
  if (GetIsEmpty()) return -1;
  if (!OnCompareCurrentValue) throw EMDataError(dterr::NoSearchEvent, "");
  BeginScrollUpdate();
  const int N = GetCount();
  int Step = N / 2;
  int Pos = N / 2;
  int Prev = -1;
  int Result = 0;
  try {
    for (;;) {
      const int C = CompareRecordAt(Pos);
      if (C == 1) {
        Step = std::max(Step / 2, 1);
        if (Pos + Step == Prev) {
          Result = -1;
          break;
        }
        Prev = Pos;
        Pos += Step;
        if (Pos > N - 1) {
          Pos = N - 1;
          Result = -1;
          break;
        }
      } else if (C == -1) {
        Step = std::max(Step / 2, 1);
        if (Pos - Step == Prev) {
          Result = 1;
          break;
        }
        Prev = Pos;
        Pos -= Step;
        if (Pos < 0) {
          Pos = 0;
          Result = 1;
          break;
        }
      } else {
        Result = 0;
        break;
      }
    }
  } catch (...) {
    EndScrollUpdate();
    throw;
  }
  EndScrollUpdate();
  SetPosition(Pos);
  return Result;
}

// --- Copying values ---

void TMCustomDataSet::CopyFieldValue(TMField* Target, TMField* Source) {
  if (Source->GetIsNull()) {
    Target->SetNull();
    return;
  }
  switch (Source->GetDataType()) {
    case mftInteger: Target->SetAsInteger(Source->GetAsInteger()); break;
    case mftFloat: Target->SetAsFloat(Source->GetAsFloat()); break;
    case mftExtended: Target->SetAsExtended(Source->GetAsExtended()); break;
    case mftDateTime: Target->SetAsDateTime(Source->GetAsDateTime()); break;
    default: Target->SetAsString(Source->GetAsString()); break;
  }
}

void TMCustomDataSet::CopyFieldValuesByName(TMCustomDataSet* Source) {
  TMFields* From = Source->GetFields();
  for (int I = 0; I < From->GetCount(); ++I) {
    TMField* S = From->GetFields(I);
    if (TMField* T = FindField(S->GetFieldName())) CopyFieldValue(T, S);
  }
}

void TMCustomDataSet::CopyFieldValuesByIndex(TMCustomDataSet* Source) {
  TMFields* From = Source->GetFields();
  for (int I = 0; I < From->GetCount() && I < FFields->GetCount(); ++I)
    CopyFieldValue(FFields->GetFields(I), From->GetFields(I));
}

// --- Fields ---

void TMCustomDataSet::SetFields(const TMFields* Fields) { FFields->Assign(Fields); }
TMField* TMCustomDataSet::FieldByName(const AnsiString& Name) const { return FFields->ByName(Name); }
TMField* TMCustomDataSet::FindField(const AnsiString& Name) const { return FFields->Find(Name); }
int TMCustomDataSet::GetFieldCount() const { return FFields->GetCount(); }

// --- Checks ---

void TMCustomDataSet::RaiseStateError(int Code) { throw EMDataError(Code, ""); }

void TMCustomDataSet::CheckNotActive() const {
  if (FActive) [[unlikely]]
    RaiseStateError(dterr::Active);
}

void TMCustomDataSet::CheckNotEmpty() {
  if (GetIsEmpty()) [[unlikely]]
    RaiseStateError(dterr::Empty);
}



// --- Storage defaults ---

void TMCustomDataSet::SetCurrentFieldNull(int, int) {}
void TMCustomDataSet::SetCurrentStringFieldValue(int, int, const AnsiString&) {}
void TMCustomDataSet::SetCurrentIntegerFieldValue(int, int, int) {}
void TMCustomDataSet::SetCurrentFloatFieldValue(int, int, double) {}
void TMCustomDataSet::SetCurrentExtendedFieldValue(int, int, Extended) {}
void TMCustomDataSet::SetCurrentDateTimeFieldValue(int, int, TDateTime) {}
bool TMCustomDataSet::WasPreviousFieldNull(int, int) { return true; }
AnsiString TMCustomDataSet::GetPreviousStringFieldValue(int, int) { return AnsiString(); }
int TMCustomDataSet::GetPreviousIntegerFieldValue(int, int) { return 0; }
double TMCustomDataSet::GetPreviousFloatFieldValue(int, int) { return 0.0; }
Extended TMCustomDataSet::GetPreviousExtendedFieldValue(int, int) { return 0.0L; }
TDateTime TMCustomDataSet::GetPreviousDateTimeFieldValue(int, int) { return 0.0; }

void TMCustomDataSet::SetData(void*) { throw EMDataError(dterr::NoUserData, ClassName()); }

// --- Bookmarks ---

void TMCustomDataSet::SetBookmark(bool Value) {
  CheckActive();
  CheckNotEmpty();
  if (GetBookmark() == Value) return;
  const int Position = GetPosition();
  if (Value) {
    FBookmarks->Add(Position);
  } else {
    FBookmarks->Remove(Position);
  }
  NotifyInterfaces(diaBookmarkChanged, Position);
}

bool TMCustomDataSet::GetBookmark() {
  if (!FActive || GetIsEmpty()) return false;
  return FBookmarks->Contains(GetPosition());
}

bool TMCustomDataSet::IsPositionBookmarked(int Position) {
  if (!FActive || GetIsEmpty()) return false;
  return FBookmarks->Contains(Position);
}

int TMCustomDataSet::GetBookmarkCount() const { return FBookmarks->GetCount(); }

int TMCustomDataSet::GetBookmarkPositions(int Index) const { return FBookmarks->GetValues(Index); }

bool TMCustomDataSet::GotoBookmark(int Bookmark) {
  SetPosition(Bookmark);
  if (GetPosition() == Bookmark) return true;
  // The bookmark lay beyond the records.
  FBookmarks->Remove(Bookmark);
  return false;
}

bool TMCustomDataSet::GotoFirstBookmark() {
  if (!FActive || GetIsEmpty()) return false;
  int Bookmark;
  if (!FBookmarks->GetFirst(Bookmark)) return false;
  return GotoBookmark(Bookmark);
}

bool TMCustomDataSet::GotoNextBookmark() {
  if (!FActive || GetIsEmpty()) return false;
  int Bookmark = GetPosition();
  if (!FBookmarks->GetNext(Bookmark)) return false;
  return GotoBookmark(Bookmark);
}

void TMCustomDataSet::MoveBookmarks(int Position, bool Inserted) {
  int B;
  if (Inserted) {
    if (!FBookmarks->GetLast(B)) return;
    for (;;) {
      if (B < Position) break;
      int Below = B;
      const bool More = FBookmarks->GetPrevious(Below);
      FBookmarks->Remove(B);
      FBookmarks->Add(B + 1);
      if (!More) break;
      B = Below;
    }
  } else {
    B = Position - 1;
    if (!FBookmarks->GetNext(B)) return;
    for (;;) {
      int Above = B;
      const bool More = FBookmarks->GetNext(Above);
      FBookmarks->Remove(B);
      FBookmarks->Add(B - 1);
      if (!More) break;
      B = Above;
    }
  }
}

// --- Notifications ---

void TMCustomDataSet::BeginUpdate() { NotifyInterfaces(diaBeginUpdate, 0); }
void TMCustomDataSet::EndUpdate() { NotifyInterfaces(diaEndUpdate, 0); }

void TMCustomDataSet::BeginScrollUpdate() {
  FScrollStack->Add(GetPosition());
  NotifyInterfaces(diaScrollUpdate, 0);
}

void TMCustomDataSet::EndScrollUpdate() {
  int Saved;
  const int Depth = FScrollStack->GetCount();
  if (Depth > 0) {
    Saved = FScrollStack->GetValues(Depth - 1);
    FScrollStack->Delete(Depth - 1);
  } else {
    Saved = GetPosition();
  }
  try {
    SetPosition(Saved);
  } catch (...) {
    NotifyInterfaces(diaScrollUpdate, 0);
    throw;
  }
  NotifyInterfaces(diaScrollUpdate, 0);
}

int TMCustomDataSet::GetScrollUpdateCount() const { return FScrollStack->GetCount(); }

void TMCustomDataSet::AddInterface(TMDataInterface* Interface) {
  FInterfaces.push_back(Interface);
  UpdateQuiet();
}

void TMCustomDataSet::RemoveInterface(TMDataInterface* Interface) noexcept {
  std::erase(FInterfaces, Interface);
  UpdateQuiet();
}

void TMCustomDataSet::UpdateQuiet() noexcept { FFields->FInPlace.Quiet = FInterfaces.empty() && !GetReadOnly(); }

void TMCustomDataSet::NotifyEachInterface(TMDataInterfaceAction Action, int Param) {
  // By index: a handler may detach its own interface.
  for (std::size_t I = 0; I < FInterfaces.size(); ++I)
    FInterfaces[I]->NotifyOwner(this, Action, Param);
}

}  // namespace vandrel
