#include "foundation/MacDequeWrapper.h"

#include "foundation/Exception.h"

namespace vandrel {

void TMacDequeWrapper::Clear() {
  Changed();
  FDeque.Clear();
}

void TMacDequeWrapper::Delete(int Index) {
  MoveTo(Index);
  Changed();
  FDeque.DoDeleteCurrent();
}

void TMacDequeWrapper::RaiseIndexError(int Index) const {
  throw Exception("[" + AnsiString(ClassName()) + "] Indeks " + std::to_string(Index) +
                  " poza zakresem (liczba elementów: " + std::to_string(FDeque.GetCount()) + ")");
}

void TMacDequeWrapper::SetDataAt(int Index, void* Data) {
  MoveTo(Index);
  Changed();
  FDeque.SetCurrentData(Data);
}

int TMacDequeWrapper::InsertAt(int Index, void* Data) {
  Changed();
  if (Index >= FDeque.GetCount()) {
    FDeque.DoAppend(Data);
  } else {
    FDeque.SetCurrentPosition(Index);
    FDeque.DoInsertBeforeCurrent(Data);
  }
  return FDeque.GetCurrentPosition();
}

int TMacDequeWrapper::Append(void* Data) { return InsertAt(FDeque.GetCount(), Data); }

bool TMacDequeWrapper::SortedAdd(void* Data) {
  const int Found = FDeque.DoFindPosition(Data);
  if (Found == 0 && !FDeque.GetIsEmpty()) return false;
  Changed();
  if (Found < 0)
    FDeque.DoInsertAfterCurrent(Data);
  else
    FDeque.DoInsertBeforeCurrent(Data);
  return true;
}

bool TMacDequeWrapper::SortedRemove(void* Key) {
  if (FDeque.GetIsEmpty() || FDeque.DoFindPosition(Key) != 0) return false;
  Changed();
  FDeque.DoDeleteCurrent();
  return true;
}

int TMacDequeWrapper::SortedIndexOf(void* Key) const {
  if (FDeque.GetIsEmpty() || FDeque.DoFindPosition(Key) != 0) return -1;
  return FDeque.GetCurrentPosition();
}

int TMacDequeWrapper::SortedIndexAbove(void* Key) const {
  if (FDeque.GetIsEmpty()) return -1;
  // 1: the cursor is already above Key; 0 or -1: on Key or below it.
  const int Found = FDeque.DoFindPosition(Key);
  const int Position = FDeque.GetCurrentPosition() + (Found > 0 ? 0 : 1);
  return Position < FDeque.GetCount() ? Position : -1;
}

int TMacDequeWrapper::SortedIndexBelow(void* Key) const {
  if (FDeque.GetIsEmpty()) return -1;
  const int Found = FDeque.DoFindPosition(Key);
  return FDeque.GetCurrentPosition() - (Found < 0 ? 0 : 1);
}

}  // namespace vandrel
