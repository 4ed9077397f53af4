#pragma once
// What a benchmark of the main window does before it makes its QApplication: windows
// offscreen, and a runtime directory of its own (without a session's, Qt would make
// /tmp/runtime-<user>).
#include <QtGlobal>

#include <cstdlib>
#include <filesystem>
#include <string>

inline void PrepareOffscreenWindows() {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    const std::string runtime = std::string(VANDREL_BENCH_DATA_DIR) + "/runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  }
}
