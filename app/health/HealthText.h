#pragma once
// Figures as the health findings write them, in the user's regional settings: sizes in MB
// or GB with the decimal separator of the settings, ages in days.
#include <cstdint>
#include <string>

namespace vandrel::health {

// "1,97 GB", "50 MB", "2 GB": GB from 1 GB up with at most two decimals, else MB with at
// most one; trailing zeros dropped.
std::string SizeText(int64_t Bytes);
// "1 dzień", "41 dni".
std::string DaysText(int64_t Days);

}  // namespace vandrel::health
