#pragma once
#include <string>

namespace vandrel::app {

// The display form of a four-part file version: "3.05", "3.05 B", "3.05 _ 12" ...
std::string FormatVersionString(const std::string& FileVersion);

}  // namespace vandrel::app
