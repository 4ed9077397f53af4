#pragma once
// One ODBC handle and its owner: it knows its type (which is also the type its diagnostic
// records are read with), is allocated under its parent, and is freed exactly once, by
// Free or when the owner goes. Failure paths need no hand-written clean-up: a handle that
// unwinds frees itself, after the error has read its diagnostics.
#include <sql.h>

namespace vandrel {

class TMOdbcHandle {
 public:
  explicit TMOdbcHandle(SQLSMALLINT Type) noexcept : FType(Type) {}
  ~TMOdbcHandle() { Free(); }
  TMOdbcHandle(const TMOdbcHandle&) = delete;
  TMOdbcHandle& operator=(const TMOdbcHandle&) = delete;

  // Frees what the handle holds, then allocates a new one under Parent (null for an
  // environment). A failure raises Code with the parent's diagnostics and leaves the
  // handle null.
  void Allocate(const TMOdbcHandle* Parent, int Code);
  // Frees the handle when there is one; it is null afterwards. Never raises.
  void Free() noexcept;

  SQLHANDLE Get() const noexcept { return FHandle; }
  SQLSMALLINT GetType() const noexcept { return FType; }
  explicit operator bool() const noexcept { return FHandle != SQL_NULL_HANDLE; }

 private:
  SQLSMALLINT FType;
  SQLHANDLE FHandle = SQL_NULL_HANDLE;
};

}  // namespace vandrel
