#include "app/health/HealthText.h"

#include "foundation/FloatText.h"
#include "platform/base/RegionalSettings.h"

namespace vandrel::health {

std::string SizeText(int64_t Bytes) {
  constexpr double kMegabyte = 1024.0 * 1024.0, kGigabyte = kMegabyte * 1024.0;
  const char separator = platform::RegionalSettings().DecimalSeparator;
  const double bytes = static_cast<double>(Bytes);
  if (bytes >= kGigabyte) return floattext::Format(bytes / kGigabyte, 0, 2, separator) + " GB";
  return floattext::Format(bytes / kMegabyte, 0, 1, separator) + " MB";
}

std::string DaysText(int64_t Days) { return std::to_string(Days) + (Days == 1 ? " dzień" : " dni"); }

}  // namespace vandrel::health
