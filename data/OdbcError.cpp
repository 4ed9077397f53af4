#include "data/OdbcError.h"

#include "data/OdbcCall.h"
#include "foundation/Utf8.h"

#include <sqlext.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

namespace vandrel {

namespace {

struct CodeText {
  int First, Last;
  const char* En;
  const char* Pl;
};

// Ranges share one text so that each call of a sequence keeps its own code.
constexpr CodeText kCodeTexts[] = {
    {401, 401, "Environment handle allocation error", "Błąd alokacji uchwytu środowiska"},
    {402, 402, "Driver version negotiation failure", "Niepowodzenie negocjacji wersji sterownika"},
    {403, 403, "Database handle allocation error", "Błąd alokacji uchwytu bazy danych"},
    {404, 404, "Cursor library option setting failure", "Niepowodzenie ustawiania opcji biblioteki kursorów"},
    {405, 405, "Driver dialogs option setting failure", "Niepowodzenie ustawiania opcji okien sterownika"},
    {406, 406, "Autocommit option setting failure", "Niepowodzenie ustawiania opcji 'autocommit'"},
    {407, 407, "Data Source connect error", "Bład łączenia do źródła danych"},
    {408, 408, "Transaction begin error", "Błąd rozpoczęcia transakcji"},
    {409, 409, "Transaction commit error", "Błąd zakończenia transakcji"},
    {410, 410, "SQL statement handle allocation error", "Błąd alokacji uchwytu polecenia SQL"},
    {411, 411, "SQL statement parameters not implemented", "Parametry polecenia SQL nie są zaimplementowane"},
    {412, 412, "SQL statement execution error", "Błąd wykonania polecenia SQL"},
    {413, 413, "Unsupported field type", "Nieobsługiwany typ pola"},
    {414, 414, "SQL statement handle allocation error", "Błąd alokacji uchwytu zapytania SQL"},
    {415, 415, "SQL statement parameters not implemented", "Parametry zapytania SQL nie są zaimplementowane"},
    {416, 416, "SQL statement execution error", "Błąd wykonania zapytania SQL"},
    {417, 417, "Column counting error", "Błąd liczenia kolumn"},
    {418, 418, "Column describing error", "Błąd pobierania opisu kolumny"},
    {419, 419, "Column name too long", "Nazwa kolumny za długa"},
    {420, 420, "Column binding error", "Błąd wiązania kolumny"},
    {421, 425, "Cursor scrolling error", "Błąd przesuwania kursora"},
    {426, 426, "Cannot scroll backwards - cursor is forward-only", "Nie można przesuwać wstecz kursora jednokierunkowego"},
    {431, 439, "Query option error", "Błąd opcji zapytania"},
    {440, 440, "Connection timeout setting error", "Błąd ustawiania timeoutu połączenia"},
    {441, 441, "Query timeout setting error", "Błąd ustawiania timeoutu zapytania"},
    {442, 442, "Query with no result columns", "Brak kolumn w wyniku zapytania"},
    {443, 443, "Bad function call sequence", "Zła kolejność wołania funkcji"},
    {451, 451, "No table name for parameter type calculation", "Brak nazwy tabeli dla określenia typu parametru"},
    {452, 452, "No field name for parameter type calculation", "Brak nazwy pola dla określenia typu parametru"},
    {453, 453, "Type query statement handle allocation error", "Błąd alokacji uchwytu zapytania o typy parametrów"},
    {454, 454, "Type query statement execution error", "Błąd wykonania zapytania o typy parametrów"},
    {455, 455, "Type query column count error", "Błąd liczenia kolumn wyniku zapytania o typy parametrów"},
    {456, 456, "Type query column description error", "Błąd pobierania opisu kolumny wyniku zapytania o typy parametrów"},
    {461, 461, "Update statement handle allocation error", "Błąd alokacji uchwytu polecenia zmieniającego"},
    {462, 462, "Update statement parameter binding error", "Błąd wiązania parametru polecenia zmieniającego"},
    {463, 463, "Update statement prepare error", "Błąd przygotowania polecenia zmieniającego"},
    {464, 464, "Update statement paramset size setting error",
     "Bład ustawiania rozmiaru tabel wartości parametrów dla polecenia zmieniającego"},
    {465, 467, "Update statement execute error", "Błąd wykonania polecenia zmieniającego"},
    {468, 468, "Value out of column size or precision", "Wartość przekracza rozmiar / precyzję kolumny"},
    {471, 476, "Type query option error", "Błąd opcji zapytania o typy parametrów"},
    {481, 484, "Update statement option error", "Błąd opcji polecenia zmieniającego"},
};

AnsiString CodeDescription(int Code) {
  for (const CodeText& t : kCodeTexts)
    if (Code >= t.First && Code <= t.Last) return EMException::Language == 1 ? t.En : t.Pl;
  return {};
}

const char* ReturnCodeName(short RetCode) {
  switch (RetCode) {
    case SQL_SUCCESS: return " SQL_SUCCESS";
    case SQL_SUCCESS_WITH_INFO: return " SQL_SUCCESS_WITH_INFO";
    case SQL_STILL_EXECUTING: return " SQL_STILL_EXECUTING";
    case SQL_NEED_DATA: return " SQL_NEED_DATA";
    case SQL_NO_DATA: return " SQL_NO_DATA";
    case SQL_ERROR: return " SQL_ERROR";
    case SQL_INVALID_HANDLE: return " SQL_INVALID_HANDLE";
    default: return "";
  }
}

bool IsBlank(const AnsiString& s) {
  return s.find_first_not_of(' ') == AnsiString::npos;
}

}  // namespace

// ---- EMOdbcError ----

EMOdbcError::EMOdbcError(int Code, short RetCode, std::unique_ptr<EMException> Inner)
    : EMException(nullptr), Code(Code), RetCode(RetCode) {
  AdoptInner(std::move(Inner));
  AfterConstruction();
}

TMacIconKind EMOdbcError::MacIcon() const { return micError; }

AnsiString EMOdbcError::MacCode() const { return "MODBC/" + std::to_string(Code); }

AnsiString EMOdbcError::MacMessage() const {
  return ByLanguage("Błąd operacji bazodanowej", "Database error");
}

AnsiString EMOdbcError::MacDescription() const {
  AnsiString d = CodeDescription(Code);
  if (RetCode != 0) {
    if (!IsBlank(d)) d += "\r\n";
    d += ByLanguage("Kod błędu funkcji ODBC: [", "ODBC call error code: [");
    d += std::to_string(RetCode) + "]" + ReturnCodeName(RetCode);
  }
  return d;
}

std::unique_ptr<EMException> EMOdbcError::Clone() const {
  return std::make_unique<EMOdbcError>(Code, RetCode, nullptr);
}

void EMOdbcError::Assign(const EMException* Source) {
  // Own fields first: the base Assign may free Source when it sits in this chain.
  if (Source && Source->ClassChainHas("EMOdbcError")) {
    const auto* s = static_cast<const EMOdbcError*>(Source);
    Code = s->Code;
    RetCode = s->RetCode;
  }
  EMException::Assign(Source);
}

AnsiString EMOdbcError::GetSqlState() const {
  const auto* first = dynamic_cast<const EMOdbcDriverError*>(GetTopics(1));
  return first ? first->SqlState : AnsiString();
}

int EMOdbcError::GetNativeError() const {
  const auto* first = dynamic_cast<const EMOdbcDriverError*>(GetTopics(1));
  return first ? first->NativeError : 0;
}

void EMOdbcError::GenerateOdbcDriverErrors(int Code, short RetCode, short HandleType, void* Handle) {
  if (RetCode == SQL_ERROR || RetCode == SQL_SUCCESS_WITH_INFO) RaiseWithDiagnostics(Code, RetCode, HandleType, Handle);
  throw EMOdbcError(Code, RetCode, nullptr);
}

void EMOdbcError::RaiseWithDiagnostics(int Code, short RetCode, short HandleType, void* Handle) {
  std::unique_ptr<EMOdbcDriverError> chain;
  if (Handle) chain = EMOdbcDriverError::CreateOdbcDriverError(1, HandleType, Handle);
  throw EMOdbcError(Code, RetCode, std::move(chain));
}

void EMOdbcError::Raise(int Code) { throw EMOdbcError(Code, SQL_SUCCESS, nullptr); }

// ---- EMOdbcDriverError ----

EMOdbcDriverError::EMOdbcDriverError(int RecNumber, const AnsiString& SqlState, const AnsiString& Message,
                                     int NativeError, std::unique_ptr<EMException> Inner)
    : EMException(nullptr), RecNumber(RecNumber), SqlState(SqlState), Message(Message), NativeError(NativeError) {
  AdoptInner(std::move(Inner));
  AfterConstruction();
}

TMacIconKind EMOdbcDriverError::MacIcon() const { return micInformation; }

AnsiString EMOdbcDriverError::MacCode() const { return "MODBCDRV/" + std::to_string(NativeError); }

AnsiString EMOdbcDriverError::MacMessage() const {
  return ByLanguage("Błąd sterownika ODBC\r\nWiadomość ", "ODBC driver error\r\nMessage ") + std::to_string(RecNumber);
}

AnsiString EMOdbcDriverError::MacDescription() const { return "[" + SqlState + "] " + Message; }

std::unique_ptr<EMException> EMOdbcDriverError::Clone() const {
  return std::make_unique<EMOdbcDriverError>(RecNumber, SqlState, Message, NativeError, nullptr);
}

void EMOdbcDriverError::Assign(const EMException* Source) {
  // Own fields first: the base Assign may free Source when it sits in this chain.
  if (Source && Source->ClassChainHas("EMOdbcDriverError")) {
    const auto* s = static_cast<const EMOdbcDriverError*>(Source);
    RecNumber = s->RecNumber;
    SqlState = s->SqlState;
    Message = s->Message;
    NativeError = s->NativeError;
  }
  EMException::Assign(Source);
}

namespace {

// A message keeps at most this many characters; text is UTF-8, so the buffer holds four
// bytes for each.
constexpr int kMaxMessageChars = 512;
constexpr SQLSMALLINT kMessageBuffer = kMaxMessageChars * 4 + 1;

struct DiagRecord {
  SQLRETURN Rc;
  AnsiString State;
  SQLINTEGER Native = 0;
  AnsiString Message;  // cut at kMaxMessageChars characters, between whole characters
};

DiagRecord ReadDiagRecord(SQLSMALLINT HandleType, SQLHANDLE Handle, SQLSMALLINT RecNumber) {
  SQLCHAR state[6] = {};
  SQLCHAR message[kMessageBuffer] = {};
  SQLSMALLINT length = 0;
  DiagRecord r;
  r.Rc = OdbcCall({morAnyResult}, SQLGetDiagRec, HandleType, Handle, RecNumber, state, &r.Native, message,
                  kMessageBuffer, &length);
  state[5] = 0;
  r.State = reinterpret_cast<char*>(state);
  // The driver may stop its text before the reported length, or cut it inside a letter
  // when the buffer is full: the text ends at its terminator and at a whole character.
  const size_t bytes = std::clamp<SQLSMALLINT>(length, 0, kMessageBuffer - 1);
  const char* text = reinterpret_cast<char*>(message);
  r.Message.assign(text, utf8::WholePrefix(std::string_view(text, strnlen(text, bytes)), kMaxMessageChars));
  return r;
}

}  // namespace

namespace {
thread_local int MaxRecords = 16;
}  // namespace

TMDiagRecordLimit::TMDiagRecordLimit(int Limit) : FPrevious(MaxRecords) { MaxRecords = Limit; }
TMDiagRecordLimit::~TMDiagRecordLimit() { MaxRecords = FPrevious; }

std::unique_ptr<EMOdbcDriverError> EMOdbcDriverError::CreateOdbcDriverError(int RecNumber, short HandleType, void* Handle) {
  if (RecNumber > MaxRecords) return nullptr;
  DiagRecord r = ReadDiagRecord(HandleType, Handle, static_cast<SQLSMALLINT>(RecNumber));
  if (r.Rc == SQL_INVALID_HANDLE || r.Rc == SQL_ERROR || r.Rc == SQL_NO_DATA) return nullptr;
  std::unique_ptr<EMOdbcDriverError> inner = CreateOdbcDriverError(RecNumber + 1, HandleType, Handle);
  return std::make_unique<EMOdbcDriverError>(RecNumber, r.State, r.Message, r.Native, std::move(inner));
}

void CollectOdbcDriverInfo(SQLHSTMT Statement, std::vector<AnsiString>& Lines) {
  for (SQLSMALLINT n = 1;; ++n) {
    DiagRecord r = ReadDiagRecord(SQL_HANDLE_STMT, Statement, n);
    // A truncated message ends the records too.
    if (r.Rc != SQL_SUCCESS) break;
    Lines.push_back("[" + r.State + "/" + std::to_string(r.Native) + "] " + r.Message);
  }
}

}  // namespace vandrel
