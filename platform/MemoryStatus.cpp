#include "platform/MemoryStatus.h"

#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace vandrel::platform {

namespace {

// The number after "Name:" in a /proc text, in bytes ("kB" figures are multiplied).
std::optional<std::uint64_t> Field(std::string_view Text, std::string_view Name) {
  for (size_t Start = 0; Start < Text.size();) {
    size_t End = Text.find('\n', Start);
    if (End == std::string_view::npos) End = Text.size();
    const std::string_view Line = Text.substr(Start, End - Start);
    Start = End + 1;
    if (Line.size() <= Name.size() || Line.substr(0, Name.size()) != Name || Line[Name.size()] != ':') continue;
    std::istringstream In{std::string(Line.substr(Name.size() + 1))};
    std::uint64_t Value = 0;
    std::string Unit;
    if (!(In >> Value)) return std::nullopt;
    In >> Unit;
    return Unit == "kB" ? Value * 1024 : Value;
  }
  return std::nullopt;
}

std::string ReadProcFile(const char* Path) {
  std::ifstream In(Path);
  std::ostringstream Out;
  Out << In.rdbuf();
  return Out.str();
}

// The user part of the address space when no limit is set.
std::uint64_t UserAddressSpace() {
#if defined(__x86_64__)
  return std::uint64_t(1) << 47;
#elif defined(__aarch64__)
  return std::uint64_t(1) << 48;
#else
  return sizeof(void*) == 8 ? std::uint64_t(1) << 47 : std::uint64_t(3) << 30;
#endif
}

}  // namespace

TMemoryStatus MemoryStatusFrom(std::string_view MemInfo, std::string_view ProcessStatus,
                               std::uint64_t AddressSpaceLimit) {
  TMemoryStatus S;
  S.TotalPhys = Field(MemInfo, "MemTotal").value_or(0);
  // Kernels before 3.14 have no MemAvailable: free memory and caches are the nearest figure.
  if (const auto Available = Field(MemInfo, "MemAvailable")) {
    S.AvailPhys = *Available;
  } else {
    S.AvailPhys = Field(MemInfo, "MemFree").value_or(0) + Field(MemInfo, "Buffers").value_or(0) +
                  Field(MemInfo, "Cached").value_or(0);
  }
  if (S.AvailPhys > S.TotalPhys) S.AvailPhys = S.TotalPhys;
  S.MemoryLoad = S.TotalPhys ? (S.TotalPhys - S.AvailPhys) * 100 / S.TotalPhys : 0;
  S.TotalPageFile = Field(MemInfo, "SwapTotal").value_or(0);
  S.AvailPageFile = std::min(Field(MemInfo, "SwapFree").value_or(0), S.TotalPageFile);
  S.TotalVirtual = AddressSpaceLimit;
  const std::uint64_t Used = Field(ProcessStatus, "VmSize").value_or(0);
  S.AvailVirtual = Used < AddressSpaceLimit ? AddressSpaceLimit - Used : 0;
  return S;
}

void GlobalMemoryStatus(TMemoryStatus& Status) {
  rlimit Limit{};
  std::uint64_t AddressSpace = UserAddressSpace();
  if (getrlimit(RLIMIT_AS, &Limit) == 0 && Limit.rlim_cur != RLIM_INFINITY && Limit.rlim_cur < AddressSpace) {
    AddressSpace = Limit.rlim_cur;
  }
  Status = MemoryStatusFrom(ReadProcFile("/proc/meminfo"), ReadProcFile("/proc/self/status"), AddressSpace);
}

}  // namespace vandrel::platform
