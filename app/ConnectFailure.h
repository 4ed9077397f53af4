#pragma once
// Why a connection to the server failed, told to the user in Polish from the driver's
// diagnostic records, with what to try next.
#include <string>
#include <vector>

namespace vandrel::app {

struct TDriverRecord {
  std::string SqlState;
  int NativeError = 0;
  std::string Message;
};

// The reason and the advice, one paragraph each, then the driver's own records, one line
// each as "Sterownik: [SQLSTATE/native] message"; empty when there is no record to go by.
std::string ConnectFailureReason(const std::vector<TDriverRecord>& Records);

// Whether the records say the connection to the server is gone (SQLSTATE 08S01 or 08003, or
// FreeTDS's own words for a connection that broke under a statement).
bool IsConnectionLoss(const std::vector<TDriverRecord>& Records);

}  // namespace vandrel::app
