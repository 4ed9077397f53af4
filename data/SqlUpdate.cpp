#include "data/SqlUpdate.h"

#include "data/DataError.h"
#include "foundation/Trim.h"

namespace vandrel {

TMUpdate::TMUpdate(TObject* Owner) : FOwner(Owner), FParams(std::make_unique<TMParams>(this)) {
  FSQL.OnChange = [this] { FParams->AdjustToQueryText(GetSQLText(), nullptr, false); };
}

TMUpdate::~TMUpdate() {
  try {
    EndUpdate();
  } catch (...) {
    // Destruction goes on whatever the executor says.
  }
  FLink = nullptr;
  FSQL.OnChange = nullptr;
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

void TMUpdate::EndUpdate() { FExecutor.reset(); }

}  // namespace vandrel
