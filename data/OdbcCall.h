#pragma once
// The one way the library calls ODBC. Every call names how its return code is judged and,
// for a failure, the library's error code and the handle whose diagnostic records explain
// it; the judgement is made here and nowhere else.
#include <sql.h>

#include <cstdint>

#include "data/OdbcError.h"
#include "data/OdbcHandle.h"

namespace vandrel {

enum TMOdbcRule : std::uint8_t {
  // The caller reads the return code itself (clean-up, diagnostics, end of data): the
  // call never raises.
  morAnyResult,
  // SQL_SUCCESS and SQL_SUCCESS_WITH_INFO pass; anything else raises.
  morSucceed,
  // As morSucceed, and SQL_NO_DATA passes too (a statement that touched no row, the end
  // of the rows or of the results).
  morNoDataPasses,
};

struct TMOdbcCheck {
  TMOdbcRule Rule;
  int Code = 0;                               // the library's error code of a failure
  const TMOdbcHandle* Diagnostics = nullptr;  // whose records explain it; null: none
};

inline bool OdbcPasses(SQLRETURN Rc, TMOdbcRule Rule) {
  return Rule == morAnyResult || Rc == SQL_SUCCESS || Rc == SQL_SUCCESS_WITH_INFO ||
         (Rule == morNoDataPasses && Rc == SQL_NO_DATA);
}

// Makes the call Function(Arguments...) and judges its return code by Check: a failure
// raises EMOdbcError Check.Code with the diagnostics of Check.Diagnostics, read before
// anything is freed. Answers the return code.
template <class Fn, class... Args>
inline SQLRETURN OdbcCall(const TMOdbcCheck& Check, Fn&& Function, Args&&... Arguments) {
  const SQLRETURN rc = Function(static_cast<Args&&>(Arguments)...);
  if (!OdbcPasses(rc, Check.Rule)) [[unlikely]] {
    const TMOdbcHandle* h = Check.Diagnostics;
    EMOdbcError::GenerateOdbcDriverErrors(Check.Code, rc, h ? h->GetType() : SQLSMALLINT{0},
                                          h ? h->Get() : nullptr);
  }
  return rc;
}

}  // namespace vandrel
