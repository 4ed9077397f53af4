#include "app/admin/CommandReport.h"

#include "app/SqlQuoting.h"

namespace vandrel::app::admin {

TStopReadBack::TStopReadBack(TCommandContext& Context) : FContext(Context) { ++FContext.StopsReportedByCommand(); }
TStopReadBack::~TStopReadBack() { --FContext.StopsReportedByCommand(); }

std::string LoginName(TCommandContext& Context) { return Context.QueryScalar("select SUSER_SNAME()", "master").Value; }

std::string DatabaseProperty(TCommandContext& Context, const std::string& Database, const std::string& Property) {
  return Context.QueryScalar("SELECT CAST(DATABASEPROPERTYEX(" + UnicodeLiteral(Database) + ",'" + Property +
                              "')AS nvarchar(128))",
                          "master").Value;
}

}  // namespace vandrel::app::admin
