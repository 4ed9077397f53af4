#include "app/DriverRecords.h"

#include "data/OdbcError.h"

namespace vandrel::app {

std::vector<TDriverRecord> DriverRecordsOf(const std::exception* E) {
  std::vector<TDriverRecord> records;
  for (const EMException* e = dynamic_cast<const EMException*>(E); e; e = e->GetInner())
    if (const auto* record = dynamic_cast<const EMOdbcDriverError*>(e))
      records.push_back({record->SqlState, record->NativeError, record->Message});
  return records;
}

}  // namespace vandrel::app
