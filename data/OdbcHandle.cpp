#include "data/OdbcHandle.h"

#include "data/OdbcCall.h"

namespace vandrel {

void TMOdbcHandle::Allocate(const TMOdbcHandle* Parent, int Code) {
  Free();
  // The output of a failed allocation is not a handle to free: it is taken only on success.
  SQLHANDLE handle = SQL_NULL_HANDLE;
  OdbcCall({morSucceed, Code, Parent}, SQLAllocHandle, FType, Parent ? Parent->Get() : SQL_NULL_HANDLE, &handle);
  FHandle = handle;
}

void TMOdbcHandle::Free() noexcept {
  if (FHandle == SQL_NULL_HANDLE) return;
  SQLHANDLE handle = FHandle;
  FHandle = SQL_NULL_HANDLE;
  OdbcCall({morAnyResult}, SQLFreeHandle, FType, handle);
}

}  // namespace vandrel
