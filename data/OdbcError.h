#pragma once
// Errors of the ODBC classes: EMOdbcError carries the library's code and the ODBC return
// code of the failed call; the driver's diagnostic records hang under it as a chain of
// EMOdbcDriverError objects, one per record, read before the handle is freed.
#include <sql.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/MacError.h"

namespace vandrel {

class EMOdbcError : public EMException {
  VANDREL_CLASS(EMOdbcError, EMException)
 public:
  // Inner (the first diagnostic record, or null) is adopted as the inner exception.
  EMOdbcError(int Code, short RetCode, std::unique_ptr<EMException> Inner);

  int Code;
  short RetCode;

  TMacIconKind MacIcon() const override;
  AnsiString MacCode() const override;
  AnsiString MacMessage() const override;
  AnsiString MacDescription() const override;
  std::unique_ptr<EMException> Clone() const override;
  void Assign(const EMException* Source) override;

  // The SQLSTATE and the native error of the first diagnostic record; "" and 0 when the
  // error carries none.
  AnsiString GetSqlState() const;
  int GetNativeError() const;

  // Raises an EMOdbcError; for SQL_ERROR and SQL_SUCCESS_WITH_INFO on a handle, the
  // handle's diagnostic records come along as its inner chain.
  [[noreturn]] static void GenerateOdbcDriverErrors(int Code, short RetCode, short HandleType, void* Handle);
  // Raises an EMOdbcError with the handle's diagnostic records whatever the return code
  // (a parameter row in error is reported with SQL_NO_DATA too).
  [[noreturn]] static void RaiseWithDiagnostics(int Code, short RetCode, short HandleType, void* Handle);
  // Raises an error found by the library itself, without an ODBC call.
  [[noreturn]] static void Raise(int Code);
};

class EMOdbcDriverError : public EMException {
  VANDREL_CLASS(EMOdbcDriverError, EMException)
 public:
  EMOdbcDriverError(int RecNumber, const AnsiString& SqlState, const AnsiString& Message, int NativeError,
                    std::unique_ptr<EMException> Inner);

  int RecNumber;
  AnsiString SqlState;
  AnsiString Message;
  int NativeError;

  TMacIconKind MacIcon() const override;
  AnsiString MacCode() const override;
  AnsiString MacMessage() const override;
  AnsiString MacDescription() const override;
  std::unique_ptr<EMException> Clone() const override;
  void Assign(const EMException* Source) override;

  // Reads record RecNumber and the following ones (16 at most, or the limit a
  // TMDiagRecordLimit of this thread set) into a chain; null when there is no such record.
  static std::unique_ptr<EMOdbcDriverError> CreateOdbcDriverError(int RecNumber, short HandleType, void* Handle);
};

// While it lives, an error raised on this thread reads up to Limit diagnostic records instead
// of 16: for a caller that must see every message of one statement (a consistency check
// names its summary and the repair level after tens of other lines).
class TMDiagRecordLimit {
 public:
  explicit TMDiagRecordLimit(int Limit);
  ~TMDiagRecordLimit();
  TMDiagRecordLimit(const TMDiagRecordLimit&) = delete;
  TMDiagRecordLimit& operator=(const TMDiagRecordLimit&) = delete;

 private:
  int FPrevious;
};

// Appends the informational records of a statement, "[state/native] message", to Lines.
void CollectOdbcDriverInfo(SQLHSTMT Statement, std::vector<AnsiString>& Lines);

}  // namespace vandrel
