#include "data/OdbcResults.h"

#include <sqlext.h>

#include <string_view>

#include "data/OdbcCall.h"
#include "data/OdbcLink.h"

namespace vandrel {

namespace {

// A driver whose connection is gone answers every move with an error: reading stops after
// this many failed results (the same bound as the records of one error).
constexpr int kMaxFailedResults = 16;

}  // namespace

void TMOdbcResults::Take(SQLRETURN Rc) {
  if (Rc == SQL_SUCCESS_WITH_INFO && (FInfo || (FLink && FLink->OnStatementInfo))) {
    std::vector<AnsiString> own;
    std::vector<AnsiString>& lines = FInfo ? *FInfo : own;
    const size_t first = lines.size();
    CollectOdbcDriverInfo(FStatement.Get(), lines);
    if (FLink) FLink->ReportInfo(lines, first);
  }
  if (OdbcPasses(Rc, morNoDataPasses)) return;
  ++FFailedResults;
  if (FFirstError) return;
  // The records are read now: the next move clears them.
  try {
    EMOdbcError::GenerateOdbcDriverErrors(FCode, Rc, FStatement.GetType(), FStatement.Get());
  } catch (...) {
    FFirstError = std::current_exception();
  }
}

bool TMOdbcResults::Next() {
  if (FFailedResults >= kMaxFailedResults) return false;
  auto move = [this] { return OdbcCall({morAnyResult}, SQLMoreResults, FStatement.Get()); };
  const SQLRETURN rc = FLink ? FLink->WaitForServer(FStatement, move) : move();
  if (rc == SQL_NO_DATA || (rc == SQL_ERROR && Unsupported())) return false;
  Take(rc);
  // Anything but success or an error (an invalid handle, a statement still executing)
  // leaves nothing more to read.
  return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO || rc == SQL_ERROR;
}

bool TMOdbcResults::Unsupported() const {
  SQLCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  const SQLRETURN rc = OdbcCall({morAnyResult}, SQLGetDiagRec, FStatement.GetType(), FStatement.Get(), SQLSMALLINT{1},
                                state, &native, nullptr, SQLSMALLINT{0}, &length);
  return SQL_SUCCEEDED(rc) && std::string_view(reinterpret_cast<char*>(state), 5) == "IM001";
}

void TMOdbcResults::RaiseFirstError() const {
  if (FFirstError) std::rethrow_exception(FFirstError);
}

}  // namespace vandrel
