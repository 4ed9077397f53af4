#pragma once
// The machine's memory status, as one record like the one the resource meter reads: physical
// memory (/proc/meminfo MemTotal, MemAvailable), the page file (SwapTotal, SwapFree) and the
// virtual address space of this process (its limit and its current size). Sizes are in bytes,
// in 64 bits, so that machines with more than 4 GB are not cut short.
#include <cstdint>
#include <string_view>

namespace vandrel::platform {

struct TMemoryStatus {
  std::uint64_t Length = sizeof(TMemoryStatus);
  std::uint64_t MemoryLoad = 0;  // per cent of physical memory in use
  std::uint64_t TotalPhys = 0;
  std::uint64_t AvailPhys = 0;
  std::uint64_t TotalPageFile = 0;
  std::uint64_t AvailPageFile = 0;
  std::uint64_t TotalVirtual = 0;
  std::uint64_t AvailVirtual = 0;
};

// Fills Status with the figures of this moment. Figures that cannot be read are 0.
void GlobalMemoryStatus(TMemoryStatus& Status);

// The record made from the texts of /proc/meminfo and /proc/self/status (VmSize) and the
// address-space limit of the process (RLIMIT_AS, or the architecture's user address space).
TMemoryStatus MemoryStatusFrom(std::string_view MemInfo, std::string_view ProcessStatus,
                               std::uint64_t AddressSpaceLimit);

}  // namespace vandrel::platform
