#pragma once
// A statement's diagnostic records as the SQL Server driver itself keeps them. unixODBC 2.3
// refuses the driver's own fields (a message's severity and line) and passes on no record of
// a call that answered SQL_NO_DATA (a PRINT that follows the last row), so the records are
// read from the driver: its handle of the statement (SQL_DRIVER_HSTMT) and its own
// functions, found in the driver library the driver manager loaded. Where that fails, the
// driver manager's records serve, without those fields.
#include <sql.h>

namespace vandrel::app {

class TDriverDiagnostics {
 public:
  // Statement: the driver manager's handle, of connection Connection.
  TDriverDiagnostics(SQLHDBC Connection, SQLHSTMT Statement);

  // SQLGetDiagRec of the statement, from the driver when it can be reached.
  SQLRETURN Record(SQLSMALLINT Number, SQLCHAR* State, SQLINTEGER* Native, SQLCHAR* Text, SQLSMALLINT Size,
                   SQLSMALLINT* Length) const;
  // A field of a record as an integer; false when the driver has none.
  bool Integer(SQLSMALLINT Number, SQLSMALLINT Field, int& Value) const;

 private:
  using TGetDiagRec = SQLRETURN (*)(SQLSMALLINT, SQLHANDLE, SQLSMALLINT, SQLCHAR*, SQLINTEGER*, SQLCHAR*, SQLSMALLINT,
                                    SQLSMALLINT*);
  using TGetDiagField = SQLRETURN (*)(SQLSMALLINT, SQLHANDLE, SQLSMALLINT, SQLSMALLINT, SQLPOINTER, SQLSMALLINT,
                                      SQLSMALLINT*);
  SQLHSTMT FStatement;
  SQLHSTMT FDriverStatement = nullptr;
  TGetDiagRec FGetDiagRec = nullptr;
  TGetDiagField FGetDiagField = nullptr;
};

}  // namespace vandrel::app
