#include "data/SqlUpdate.h"

#include "data/DataError.h"
#include "foundation/Trim.h"

namespace vandrel {

TMUpdate::TMUpdate(TObject* Owner) : FOwner(Owner), FParams(std::make_unique<TMParams>(this)) {
  FSQL.OnChange = [this] { FParams->AdjustToQueryText(GetSQLText(), nullptr, false); };
}

TMUpdate::~TMUpdate() {
  EndUpdate();
  if (FLink) FLink->DetachUpdate(this);
  FLink = nullptr;
  FSQL.OnChange = nullptr;
}

void TMUpdate::SetLink(TMCustomDBLink* Value) {
  if (Value == FLink) return;
  if (FExecutor) throw EMDataError(397, "");
  if (FLink) FLink->DetachUpdate(this);
  FLink = Value;
  if (FLink) FLink->AttachUpdate(this);
}

void TMUpdate::SetTypeTable(const AnsiString& Value) { FTypeTable = AnsiString(Trim(Value)); }

void TMUpdate::BeginUpdate() {
  FExecutor.reset();
  if (!FLink || !FLink->GetConnected()) throw EMDataError(397, "");
  FExecutor.reset(FLink->CreateSQLUpdate(this));
  try {
    FExecutor->CreateArrays();
  } catch (...) {
    FExecutor.reset();
    throw;
  }
}

int TMUpdate::ExecSQL() {
  if (FExecutor) {
    FExecutor->Prepare();
    return FExecutor->AddRow();
  }
  int executed = 0;
  try {
    BeginUpdate();
    FExecutor->Prepare();
    executed = FExecutor->AddRow();
    executed += FExecutor->FetchRows();
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  return executed;
}

void TMUpdate::Fetch() {
  if (!FExecutor || !FExecutor->GetPrepared()) return;
  FExecutor->FetchRows();
  FExecutor->UnPrepare();
}

void TMUpdate::EndUpdate() noexcept { FExecutor.reset(); }

}  // namespace vandrel
