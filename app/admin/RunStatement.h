#pragma once
// One statement of a database command on the main window's query: the query is closed and
// cleared, takes the statement as its only line, executes it, and is closed and cleared
// again, so nothing of one statement rides along with the next (the connection probe's
// "select 1" included). A failure raises after the error report has shown it.
#include <string>

namespace vandrel::app {
class TForm1;
}

namespace vandrel::app::admin {

void RunStatement(TForm1& Form, const std::string& Statement);

}  // namespace vandrel::app::admin
