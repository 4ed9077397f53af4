#pragma once
// What vandrel-health prints: a row per finding (server, database, weight, text, mend), as
// an aligned table for a person, CSV for a spreadsheet, or JSON with the figures as well.
#include <ostream>
#include <vector>

#include "tools/health/HealthCommand.h"
#include "tools/health/HealthRun.h"

namespace vandrel::healthtool {

void WriteReport(const std::vector<TServerHealth>& Servers, TFormat Format, std::ostream& Out);

}  // namespace vandrel::healthtool
