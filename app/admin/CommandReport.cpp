#include "app/admin/CommandReport.h"

#include "app/MainWindow.h"
#include "app/SqlQuoting.h"

namespace vandrel::app::admin {

TStopReadBack::TStopReadBack(TForm1& Form) : FForm(Form) { ++FForm.CommandReportsStop; }
TStopReadBack::~TStopReadBack() { --FForm.CommandReportsStop; }

std::string DatabaseProperty(TForm1& Form, const std::string& Database, const std::string& Property) {
  return Form.QueryScalar("SELECT CAST(DATABASEPROPERTYEX(" + UnicodeLiteral(Database) + ",'" + Property +
                              "')AS nvarchar(128))",
                          "master");
}

}  // namespace vandrel::app::admin
