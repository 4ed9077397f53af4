#pragma once
// A Polish locale compiled from the system's locale sources, for tests on machines that have
// none installed: made on first use into a temporary directory of the test process's own,
// which goes when the process ends. localedef takes about 1.4 s of processor time, so it
// runs at most once per process.
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace vandrel::platform::test {

// The directory to put in LOCPATH, holding pl_PL.UTF-8; "" when it cannot be made here.
inline std::string PolishLocalePath() {
  namespace fs = std::filesystem;
  struct TCompiled {
    std::string Dir, Path;
    TCompiled() {
      if (!fs::exists("/usr/share/i18n/locales/pl_PL")) return;
      std::string Pattern = (fs::temp_directory_path() / "vandrel-locales-XXXXXX").string();
      if (mkdtemp(Pattern.data()) == nullptr) return;
      Dir = Pattern;
      const std::string Command = "localedef -i pl_PL -f UTF-8 '" + Dir + "/pl_PL.UTF-8' >/dev/null 2>&1";
      if (std::system(Command.c_str()) == 0 && fs::exists(fs::path(Dir) / "pl_PL.UTF-8" / "LC_TIME")) Path = Dir;
    }
    ~TCompiled() {
      std::error_code Ignored;
      if (!Dir.empty()) fs::remove_all(Dir, Ignored);
    }
  };
  static const TCompiled Locale;
  return Locale.Path;
}

}  // namespace vandrel::platform::test
