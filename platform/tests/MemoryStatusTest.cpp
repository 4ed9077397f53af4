#include "platform/MemoryStatus.h"

#include <gtest/gtest.h>

namespace vandrel::platform {
namespace {

constexpr std::uint64_t MB = 1024 * 1024;

TEST(MemoryStatus, FiguresComeFromMeminfoAndTheProcess) {
  const char* MemInfo =
      "MemTotal:        1048576 kB\n"
      "MemFree:          100000 kB\n"
      "MemAvailable:     307200 kB\n"
      "Buffers:            2048 kB\n"
      "SwapCached:            0 kB\n"
      "SwapTotal:        524288 kB\n"
      "SwapFree:            512 kB\n";
  const char* Status = "Name:\tvandrel\nVmPeak:\t  300000 kB\nVmSize:\t  204800 kB\nVmRSS:\t 1000 kB\n";
  const TMemoryStatus S = MemoryStatusFrom(MemInfo, Status, 4096 * MB);
  EXPECT_EQ(S.Length, sizeof(TMemoryStatus));
  EXPECT_EQ(S.TotalPhys, 1024 * MB);
  EXPECT_EQ(S.AvailPhys, 300 * MB);
  EXPECT_EQ(S.MemoryLoad, 70u);
  EXPECT_EQ(S.TotalPageFile, 512 * MB);
  EXPECT_EQ(S.AvailPageFile, 512 * 1024u);
  EXPECT_EQ(S.TotalVirtual, 4096 * MB);
  EXPECT_EQ(S.AvailVirtual, (4096 - 200) * MB);
}

TEST(MemoryStatus, OldKernelsAndOddTextsGiveTheNearestFigures) {
  // No MemAvailable: free memory plus buffers and cache.
  const TMemoryStatus Old =
      MemoryStatusFrom("MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 20 kB\nCached: 30 kB\n", "", 1000);
  EXPECT_EQ(Old.AvailPhys, 150 * 1024u);
  EXPECT_EQ(Old.TotalPageFile, 0u);
  EXPECT_EQ(Old.AvailVirtual, 1000u);  // no VmSize: nothing counted as used

  // Nothing readable: zeros, and no division by zero.
  const TMemoryStatus Empty = MemoryStatusFrom("", "", 0);
  EXPECT_EQ(Empty.TotalPhys, 0u);
  EXPECT_EQ(Empty.MemoryLoad, 0u);
  EXPECT_EQ(Empty.AvailVirtual, 0u);

  // A process larger than its limit has nothing left; "MemTotalX" is not "MemTotal".
  const TMemoryStatus Over = MemoryStatusFrom("MemTotalX: 5 kB\nMemTotal: 8 kB\n", "VmSize: 2 kB\n", 1024);
  EXPECT_EQ(Over.TotalPhys, 8 * 1024u);
  EXPECT_EQ(Over.AvailVirtual, 0u);
}

TEST(MemoryStatus, TheMachineReportsPlausibleFigures) {
  TMemoryStatus S;
  GlobalMemoryStatus(S);
  EXPECT_GT(S.TotalPhys, 16 * MB);
  EXPECT_LE(S.AvailPhys, S.TotalPhys);
  EXPECT_LE(S.AvailPageFile, S.TotalPageFile);
  EXPECT_GT(S.TotalVirtual, S.AvailVirtual);
  EXPECT_GT(S.AvailVirtual, 0u);
}

}  // namespace
}  // namespace vandrel::platform
