#include "platform/WindowsPaths.h"

#include <gtest/gtest.h>

#include "platform/base/tests/EnvironmentVariable.h"

namespace vandrel::platform {
namespace {

TEST(WindowsPaths, DrivesLieWhereWineKeepsThem) {
  test::TEnvironmentVariable Prefix("WINEPREFIX", "/srv/kasa/.wine");
  EXPECT_EQ(LocalPathOf("C:\\Logi"), "/srv/kasa/.wine/drive_c/Logi");
  EXPECT_EQ(LocalPathOf("d:\\Kopie\\Sklep\\"), "/srv/kasa/.wine/drive_d/Kopie/Sklep/");
  EXPECT_EQ(LocalPathOf("C:\\"), "/srv/kasa/.wine/drive_c");
  EXPECT_EQ(LocalPathOf("C:"), "/srv/kasa/.wine/drive_c");
  EXPECT_EQ(LocalPathOf("Logi\\a.log"), "Logi/a.log");
  test::TEnvironmentVariable NoPrefix("WINEPREFIX", "");
  test::TEnvironmentVariable Home("HOME", "/home/jan");
  EXPECT_EQ(LocalPathOf("C:\\Logi"), "/home/jan/.wine/drive_c/Logi");
}

}  // namespace
}  // namespace vandrel::platform
