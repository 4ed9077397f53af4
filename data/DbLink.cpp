#include "data/DbLink.h"

#include <algorithm>

#include "data/DataError.h"
#include "data/Query.h"
#include "data/SqlUpdate.h"

namespace vandrel {

// ---- TMCustomDBLink ----

TMCustomDBLink::~TMCustomDBLink() {
  // The concrete link has disconnected already; what is left is detaching the queries.
  OnAfterConnectChange = nullptr;
  DetachAll();
}

TMCustomSQLUpdate* TMCustomDBLink::CreateSQLUpdate(TMUpdate*) { throw EMDataError(398, ""); }

void TMCustomDBLink::SetConnected(bool Value) {
  if (Value == FConnected) return;
  if (Value) {
    AnsiString UserID, Password;
    if (OnBeforeConnect) OnBeforeConnect(this, UserID, Password);
    DoConnect(UserID, Password);
    FConnected = true;
  } else {
    CloseQueries();
    EndUpdates();
    DoDisconnect();
    FConnected = false;
  }
  if (OnAfterConnectChange) OnAfterConnectChange(this);
}

void TMCustomDBLink::CheckConnected() const {
  if (!FConnected) throw EMDataError(391, "");
}

void TMCustomDBLink::StartTransaction() {
  CheckConnected();
  if (GetInTransaction()) throw EMDataError(392, "");
  DoStartTransaction();
}

void TMCustomDBLink::Commit() {
  CheckConnected();
  if (!GetInTransaction()) throw EMDataError(393, "");
  DoCommit();
}

void TMCustomDBLink::Rollback() noexcept {
  try {
    if (FConnected && GetInTransaction()) DoRollback();
  } catch (...) {
    // Rollback stands in clean-up paths: it never raises.
  }
}

void TMCustomDBLink::ExecSQL(const AnsiString& SQL, TMParams* Params) {
  CheckConnected();
  Wrapped([&] { return SQL; }, Params, mqcExecBefore, [&](auto& text) { DoExecSQL(text(), Params); });
}

TKMQuery* TMCustomDBLink::GetQueries(int i) const {
  return i >= 0 && i < GetQueryCount() ? FQueries[i] : nullptr;
}

void TMCustomDBLink::BeforeDestruction() {
  OnAfterConnectChange = nullptr;
  SetConnected(false);
  DetachAll();
}

void TMCustomDBLink::CloseQueries() {
  for (int i = 0; i < GetQueryCount(); ++i) FQueries[i]->Close();
}

void TMCustomDBLink::EndUpdates() noexcept {
  for (TMUpdate* u : FUpdates) u->EndUpdate();
}

void TMCustomDBLink::DetachAll() noexcept {
  // A query may be open without the connection (opened empty, or the link was never
  // connected): it is closed first, since a query changes its link only while closed.
  while (!FQueries.empty()) {
    TKMQuery* q = FQueries.front();
    try {
      q->Close();
    } catch (...) {
      // Closing leaves the query inactive whatever its clean-up says; the link goes on.
    }
    q->SetLink(nullptr);
  }
  EndUpdates();
  while (!FUpdates.empty()) FUpdates.front()->SetLink(nullptr);
}

void TMCustomDBLink::DetachQuery(TKMQuery* Query) {
  FQueries.erase(std::remove(FQueries.begin(), FQueries.end(), Query), FQueries.end());
}

void TMCustomDBLink::DetachUpdate(TMUpdate* Update) {
  FUpdates.erase(std::remove(FUpdates.begin(), FUpdates.end(), Update), FUpdates.end());
}

void TMCustomDBLink::NotifyError(AnsiString& Text, TMParams* Params, TMQueryContext Context, const Exception* E) {
  OnQuery(this, Text, Params, Context, E);
}

// ---- TMCustomResultSet ----

void TMCustomResultSet::Open(const AnsiString& SQL, TMParams* Params) {
  FLink->CheckConnected();
  FLink->Wrapped([&] { return SQL; }, Params, mqcOpenBefore, [&](auto& text) { DoOpen(text(), Params); });
}

void TMCustomResultSet::SetPositionCommonCode(int Row) {
  FLink->Wrapped([&] { return FQuery->GetSQLText(); }, FQuery->GetParams(), mqcPositionBefore,
                 [&](auto&) { SetPosition(Row); });
}

// ---- TMCustomSQLUpdate ----

TMCustomDBLink* TMCustomSQLUpdate::UpdateLink() const {
  TMCustomDBLink* link = FUpdate->GetLink();
  if (!link) throw EMDataError(397, "");
  return link;
}

void TMCustomSQLUpdate::CreateArrays() {
  UpdateLink()->Wrapped([&] { return FUpdate->GetSQLText(); }, FUpdate->GetParams(), mqcCreateArraysBefore,
                        [&](auto& text) {
                          DoCreateArrays(text(), FUpdate->GetParams());
                          int n = DeclareMaxRowsPending();
                          FMaxRowsPending = n > 0 ? n : 1;
                        });
}

void TMCustomSQLUpdate::Prepare() {
  if (FPrepared) return;
  UpdateLink()->Wrapped([&] { return FUpdate->GetSQLText(); }, FUpdate->GetParams(), mqcPrepareBefore,
                        [&](auto&) {
                          DoPrepare();
                          FPrepared = true;
                        });
}

int TMCustomSQLUpdate::AddRow() {
  DoAddRow(FRowsPending);
  ++FRowsPending;
  return FRowsPending >= FMaxRowsPending ? FetchRows() : 0;
}

int TMCustomSQLUpdate::FetchRows() {
  int n = std::min(FRowsPending, FMaxRowsPending);
  FRowsPending = 0;
  if (n <= 0) return 0;
  UpdateLink()->Wrapped([&] { return FUpdate->GetSQLText(); }, FUpdate->GetParams(), mqcFetchRowsBefore,
                        [&](auto&) { DoFetchRows(n); });
  return n;
}

void TMCustomSQLUpdate::UnPrepare() {
  if (!FPrepared) return;
  FPrepared = false;
  DoUnPrepare();
}

void TMCustomSQLUpdate::BeforeDestruction() {
  DiscardRows();
  UnPrepare();
}

}  // namespace vandrel
