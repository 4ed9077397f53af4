#pragma once
// What a database command reads back from the server when a statement of it did not simply
// succeed, so that it says what the server actually did.
#include <string>

#include "app/CommandContext.h"

namespace vandrel::app::admin {

// While it lives, a statement stopped with "Przerwij" is not reported as stopped by the error
// report: the command reads back what the server did and says that instead.
class TStopReadBack {
 public:
  explicit TStopReadBack(TCommandContext& Context);
  ~TStopReadBack();
  TStopReadBack(const TStopReadBack&) = delete;
  TStopReadBack& operator=(const TStopReadBack&) = delete;

 private:
  TCommandContext& FContext;
};

// The login the server knows this connection by (SUSER_SNAME()); empty when unreadable.
std::string LoginName(TCommandContext& Context);

// DATABASEPROPERTYEX(Database, Property) as text, read in master; empty when unreadable.
std::string DatabaseProperty(TCommandContext& Context, const std::string& Database, const std::string& Property);

}  // namespace vandrel::app::admin
