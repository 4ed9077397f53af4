#include "platform/Registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "foundation/MacError.h"
#include "platform/RegStore.h"
#include "platform/tests/TempConfigDir.h"

namespace vandrel::platform {
namespace {

class RegistryTest : public test::TTempConfigDir {
 protected:
  std::string StoreFile(HKEY Root) const {
    return Dir + "/registry/" + RootKeyName(Root) + ".reg";
  }
};

const char* const kTovinexKey = "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Sklep";

TEST_F(RegistryTest, StringsRoundTripAndAreStoredInRegFormat) {
  {
    TRegistry Reg(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(Reg.OpenKey(kTovinexKey, true));
    Reg.WriteString("Log", "C:\\Logi\\Sklep.log");
    Reg.WriteString("Nazwa", "Zażółć \"gęślą\" jaźń");
    Reg.WriteString("Blokada", "");
    Reg.WriteString("", "domyślna");
    Reg.CloseKey();
  }
  TRegistry Reg(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(Reg.OpenKeyReadOnly(kTovinexKey));
  EXPECT_EQ(Reg.ReadString("Log"), "C:\\Logi\\Sklep.log");
  EXPECT_EQ(Reg.ReadString("Nazwa"), "Zażółć \"gęślą\" jaźń");
  EXPECT_TRUE(Reg.ValueExists("Blokada"));
  EXPECT_EQ(Reg.ReadString("Blokada"), "");
  EXPECT_EQ(Reg.ReadString(""), "domyślna");
  EXPECT_FALSE(Reg.ValueExists("Brak"));
  EXPECT_EQ(Reg.ReadString("Brak"), "");
  std::vector<AnsiString> Names;
  Reg.GetValueNames(Names);
  EXPECT_EQ(Names, (std::vector<AnsiString>{"Log", "Nazwa", "Blokada", ""}));

  EXPECT_EQ(ReadFile(StoreFile(HKEY_LOCAL_MACHINE)),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Sklep]\r\n"
            "\"Log\"=\"C:\\\\Logi\\\\Sklep.log\"\r\n"
            "\"Nazwa\"=\"Zażółć \\\"gęślą\\\" jaźń\"\r\n"
            "\"Blokada\"=\"\"\r\n"
            "@=\"domyślna\"\r\n\r\n");
  // The other root has a store of its own.
  EXPECT_FALSE(TRegistry(HKEY_CURRENT_USER).KeyExists(kTovinexKey));

  ASSERT_TRUE(Reg.OpenKey(kTovinexKey, false));
  EXPECT_TRUE(Reg.DeleteValue("BLOKADA"));
  EXPECT_FALSE(Reg.DeleteValue("Blokada"));
  EXPECT_FALSE(Reg.ValueExists("Blokada"));
  EXPECT_EQ(Reg.ReadString("Log"), "C:\\Logi\\Sklep.log");
}

TEST_F(RegistryTest, KeysOpenWhateverTheCaseAndMissingKeysDoNot) {
  TRegistry Reg(HKEY_CURRENT_USER);
  EXPECT_FALSE(Reg.OpenKey("Software\\Microsoft\\Microsoft SQL Server\\80\\Tools\\ClientSetup", false));
  EXPECT_FALSE(Reg.OpenKeyReadOnly("Software\\Microsoft"));
  EXPECT_EQ(Reg.GetCurrentPath(), "");
  ASSERT_TRUE(Reg.OpenKey("\\Software\\Microsoft\\Microsoft SQL Server\\80\\Tools\\ClientSetup\\", true));
  Reg.WriteString("SQLPath", "C:\\MSSQL");
  EXPECT_TRUE(Reg.KeyExists("SOFTWARE\\MICROSOFT"));
  ASSERT_TRUE(Reg.OpenKeyReadOnly("software\\microsoft\\MICROSOFT SQL SERVER\\80\\tools\\clientsetup"));
  EXPECT_EQ(Reg.ReadString("sqlpath"), "C:\\MSSQL");
  EXPECT_THROW(Reg.OpenKey("Software\\\\Microsoft", true), EMRegistryError);
}

TEST_F(RegistryTest, WritesKeepEveryOtherKeyAndValueByteForByte) {
  const std::string Before =
      "Windows Registry Editor Version 5.00\n"
      "; kept by the administrator\n"
      "[HKEY_CURRENT_USER\\Software\\Inny]\n"
      "\"Liczba\"=dword:00000001\n"
      "\"A\"  =  \"spacje\"\n"
      "\n"
      "[HKEY_CURRENT_USER\\Software\\QUORVEL]\n"
      "\"Stara\"=\"x\"\n";
  WriteFile(StoreFile(HKEY_CURRENT_USER), Before);
  TRegistry Reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(Reg.OpenKey("SOFTWARE\\quorvel", true));
  Reg.WriteString("Nowa", "1");
  Reg.WriteString("Stara", "y");
  // Only the changed value's line and the new line differ.
  std::string Expected = Before;
  Expected.replace(Expected.find("\"Stara\"=\"x\"\n"), 12, "\"Stara\"=\"y\"\n\"Nowa\"=\"1\"\n");
  EXPECT_EQ(ReadFile(StoreFile(HKEY_CURRENT_USER)), Expected);
  // A value of another type is not read as text.
  ASSERT_TRUE(Reg.OpenKeyReadOnly("Software\\Inny"));
  EXPECT_TRUE(Reg.ValueExists("Liczba"));
  EXPECT_THROW(Reg.ReadString("Liczba"), EMRegistryError);
  EXPECT_EQ(Reg.ReadString("A"), "spacje");
}

TEST_F(RegistryTest, ADamagedStoreIsNeverOverwritten) {
  const std::string Damaged =
      "Windows Registry Editor Version 5.00\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Setup]\r\n"
      "\"SQLDataRoot\"=\"C:\\MSSQL\r\n";
  const std::string File = StoreFile(HKEY_LOCAL_MACHINE);
  WriteFile(File, Damaged);
  TRegistry Reg(HKEY_LOCAL_MACHINE);
  try {
    Reg.OpenKey(kTovinexKey, true);
    ADD_FAILURE() << "a damaged store was accepted";
  } catch (const EMRegistryError& E) {
    EXPECT_EQ(E.Message, "[Reg] Błąd zapisu lub odczytu rejestru");
    EXPECT_NE(E.GetDescription().find(File + ", wiersz 3"), std::string::npos) << E.GetDescription();
  }
  EXPECT_THROW(Reg.OpenKeyReadOnly("SOFTWARE\\Microsoft\\MSSQLServer\\Setup"), EMRegistryError);
  EXPECT_EQ(ReadFile(File), Damaged);
}

TEST_F(RegistryTest, BadInputIsRefusedAndLosesNothing) {
  TRegistry Reg(HKEY_CURRENT_USER);
  EXPECT_THROW(Reg.WriteString("A", "1"), EMRegistryError);  // no key open
  EXPECT_THROW(Reg.ReadString("A"), EMRegistryError);
  ASSERT_TRUE(Reg.OpenKey("Software\\Test", true));
  Reg.WriteString("A", "1");
  const std::string Before = ReadFile(StoreFile(HKEY_CURRENT_USER));
  EXPECT_THROW(Reg.WriteString("B", "dwa\r\nwiersze"), EMRegistryError);
  EXPECT_THROW(Reg.WriteString("C\n", "x"), EMRegistryError);
  ASSERT_TRUE(Reg.OpenKeyReadOnly("Software\\Test"));
  EXPECT_THROW(Reg.WriteString("A", "2"), EMRegistryError);
  EXPECT_THROW(Reg.DeleteValue("A"), EMRegistryError);
  EXPECT_EQ(ReadFile(StoreFile(HKEY_CURRENT_USER)), Before);
}

TEST_F(RegistryTest, StoresLiveInTheConfiguredPlaces) {
  EXPECT_EQ(RegistryStoreFile(HKEY_LOCAL_MACHINE), Dir + "/registry/HKEY_LOCAL_MACHINE.reg");
  unsetenv("VANDREL_REGISTRY_DIR");
  SetEnv("XDG_CONFIG_HOME", Dir + "/config");
  EXPECT_EQ(RegistryStoreFile(HKEY_CURRENT_USER), Dir + "/config/vandrel/HKEY_CURRENT_USER.reg");
  EXPECT_EQ(RegistryStoreFile(HKEY_LOCAL_MACHINE), "/etc/vandrel/HKEY_LOCAL_MACHINE.reg");
  SetEnv("XDG_CONFIG_HOME", "");
  SetEnv("HOME", Dir + "/home");
  EXPECT_EQ(RegistryStoreFile(HKEY_CURRENT_USER), Dir + "/home/.config/vandrel/HKEY_CURRENT_USER.reg");

  // The directory is made on the first write.
  TRegistry Reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(Reg.OpenKey("Software\\Test", true));
  struct stat St;
  EXPECT_EQ(stat((Dir + "/home/.config/vandrel/HKEY_CURRENT_USER.reg").c_str(), &St), 0);
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kValues = 40;
  pid_t Children[2];
  for (int C = 0; C < 2; ++C) {
    Children[C] = fork();
    ASSERT_GE(Children[C], 0);
    if (Children[C] == 0) {
      int Status = 0;
      try {
        TRegistry Reg(HKEY_LOCAL_MACHINE);
        Reg.OpenKey("SOFTWARE\\Test", true);
        for (int I = 0; I < kValues; ++I) Reg.WriteString("P" + std::to_string(C) + "_" + std::to_string(I), "v");
      } catch (...) {
        Status = 1;
      }
      _exit(Status);
    }
  }
  for (pid_t Child : Children) {
    int Status = -1;
    ASSERT_EQ(waitpid(Child, &Status, 0), Child);
    EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
  }
  TRegistry Reg(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(Reg.OpenKeyReadOnly("SOFTWARE\\Test"));
  std::vector<AnsiString> Names;
  Reg.GetValueNames(Names);
  EXPECT_EQ(Names.size(), 2u * kValues);
}

TEST_F(RegistryTest, AStoreThatCannotBeWrittenRaises) {
  if (geteuid() == 0) GTEST_SKIP() << "the superuser writes anywhere";
  WriteFile(Dir + "/ro/HKEY_CURRENT_USER.reg", "");
  chmod((Dir + "/ro").c_str(), 0555);
  SetEnv("VANDREL_REGISTRY_DIR", Dir + "/ro");
  TRegistry Reg(HKEY_CURRENT_USER);
  EXPECT_THROW(Reg.OpenKey("Software\\Test", true), EMRegistryError);
  chmod((Dir + "/ro").c_str(), 0755);
}

}  // namespace
}  // namespace vandrel::platform
