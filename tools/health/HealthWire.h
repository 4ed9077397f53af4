#pragma once
// A server's check as it travels from the process that asked the server to the one that
// reports the run: the outcome, the findings and the figures the reports show, as JSON.
#include <string>

#include "tools/health/HealthRun.h"

namespace vandrel::healthtool {

std::string HealthToWire(const TServerHealth& Health);
// False when Text is not such a message (a check that ended half-way).
bool HealthFromWire(const std::string& Text, TServerHealth& Health);

}  // namespace vandrel::healthtool
