#pragma once
// What a database command reads back from the server when a statement of it did not simply
// succeed, so that it says what the server actually did.
#include <string>

namespace vandrel::app {
class TForm1;
}

namespace vandrel::app::admin {

// While it lives, a statement stopped with "Przerwij" is not reported as stopped by the error
// report: the command reads back what the server did and says that instead.
class TStopReadBack {
 public:
  explicit TStopReadBack(TForm1& Form);
  ~TStopReadBack();
  TStopReadBack(const TStopReadBack&) = delete;
  TStopReadBack& operator=(const TStopReadBack&) = delete;

 private:
  TForm1& FForm;
};

// DATABASEPROPERTYEX(Database, Property) as text, read in master; empty when unreadable.
std::string DatabaseProperty(TForm1& Form, const std::string& Database, const std::string& Property);

}  // namespace vandrel::app::admin
