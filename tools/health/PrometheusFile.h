#pragma once
// The figures of a run in Prometheus's text exposition format, for node_exporter's textfile
// collector: written to a temporary file beside the target and renamed over it, so that the
// collector never reads half a file.
#include <string>
#include <vector>

#include "tools/health/HealthRun.h"

namespace vandrel::healthtool {

std::string PrometheusText(const std::vector<TServerHealth>& Servers);
// False (with the reason in Error) when the file could not be written; the old one stays.
bool WritePrometheusFile(const std::string& Path, const std::vector<TServerHealth>& Servers, std::string& Error);

}  // namespace vandrel::healthtool
