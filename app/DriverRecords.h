#pragma once
// The driver's diagnostic records that an exception of the library carries.
#include <exception>
#include <vector>

#include "app/ConnectFailure.h"

namespace vandrel::app {

std::vector<TDriverRecord> DriverRecordsOf(const std::exception* E);

}  // namespace vandrel::app
