#include "app/query/ServerMessages.h"

#include <sqlext.h>

#include <algorithm>

#include "app/StatementWaiter.h"
#include "app/query/DriverDiagnostics.h"

namespace vandrel::app {
namespace {

// The SQL Server driver's own fields of a diagnostic record.
constexpr SQLSMALLINT kDiagMsgState = -1150;
constexpr SQLSMALLINT kDiagSeverity = -1151;
constexpr SQLSMALLINT kDiagLine = -1154;
// More records than a statement keeps at once are not expected; the bound keeps a driver
// that answers every record number from looping.
constexpr SQLSMALLINT kMaxRecords = 1000;

}  // namespace

std::vector<TServerMessage> ReadServerMessages(const TDriverDiagnostics& Diagnostics) {
  std::vector<TServerMessage> messages;
  for (SQLSMALLINT record = 1; record <= kMaxRecords; ++record) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    std::string text(1024, '\0');
    SQLRETURN rc = Diagnostics.Record(record, state, &native, reinterpret_cast<SQLCHAR*>(text.data()),
                                      static_cast<SQLSMALLINT>(text.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(text.size())) {
      text.assign(static_cast<size_t>(length) + 1, '\0');
      rc = Diagnostics.Record(record, state, &native, reinterpret_cast<SQLCHAR*>(text.data()),
                              static_cast<SQLSMALLINT>(text.size()), &length);
    }
    if (!SQL_SUCCEEDED(rc)) break;
    text.resize(std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), text.size()));
    TServerMessage m;
    m.SqlState = reinterpret_cast<char*>(state);
    m.Number = native;
    m.Text = MessageOf(text);
    // FreeTDS keeps a message's severity where the driver's state belongs and has no field
    // of the state; a driver with both fields tells both.
    int severity = 0, state2 = 0, line = 0;
    if (Diagnostics.Integer(record, kDiagSeverity, severity)) {
      m.Severity = severity;
      if (Diagnostics.Integer(record, kDiagMsgState, state2)) m.State = state2;
    } else if (Diagnostics.Integer(record, kDiagMsgState, severity)) {
      m.Severity = severity;
    }
    if (Diagnostics.Integer(record, kDiagLine, line)) m.Line = line & 0xFFFF;
    // Information comes with SQLSTATE class 01; a driver that does not tell the severity
    // still marks an error with another class.
    m.Error = m.Severity > 10 || !m.SqlState.starts_with("01");
    messages.push_back(std::move(m));
  }
  return messages;
}

bool ConnectionGone(const TServerMessage& Message) { return Message.SqlState.starts_with("08"); }

bool CancelledCall(const TServerMessage& Message) { return Message.SqlState == "HY008"; }

std::string MessageLine(const TServerMessage& Message, int Line) {
  if (!Message.Error) return Message.Text;
  std::string head = "Błąd " + std::to_string(Message.Number) + ", poziom " + std::to_string(Message.Severity);
  if (Message.State >= 0) head += ", stan " + std::to_string(Message.State);
  if (Line > 0) head += ", wiersz " + std::to_string(Line);
  return head + ": " + Message.Text;
}

std::string ChangedDatabase(const TServerMessage& Message) {
  if (Message.Number != 5701) return {};
  const size_t open = Message.Text.find('\'');
  const size_t close = open == std::string::npos ? open : Message.Text.find('\'', open + 1);
  if (close == std::string::npos) return {};
  return Message.Text.substr(open + 1, close - open - 1);
}

}  // namespace vandrel::app
