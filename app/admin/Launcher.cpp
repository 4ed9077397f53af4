#include "app/admin/Launcher.h"

#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "app/DialogSeam.h"
#include "platform/CommandLine.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

namespace vandrel::app::admin {

namespace {

// The directory part of the command line's program (up to its last "/"). A Windows program
// started through Wine is the program, not Wine: it runs in its own directory.
std::string CommandDirectory(const std::string& CommandLine) {
  std::vector<std::string> words;
  if (!platform::SplitCommandLine(CommandLine, words) || words.empty()) return {};
  const std::string starter = std::filesystem::path(words[0]).filename().string();
  const std::string& program = (starter == "wine" || starter == "wine64") && words.size() > 1 ? words[1] : words[0];
  const size_t slash = program.rfind('/');
  return slash == std::string::npos ? std::string() : program.substr(0, slash == 0 ? 1 : slash);
}

bool CheckAllows(const std::string& CheckPath) {
  if (CheckPath.empty()) return true;
  if (CheckPath[0] == '!') return !platform::FileExists(CheckPath.substr(1));
  return platform::FileExists(CheckPath);
}

}  // namespace

std::string ProgramDirectory() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.parent_path().string();
}

void TLauncher::Launch(const std::string& CommandLine, const std::string& CheckPath, const std::string& Mode) {
  const std::string own = ProgramDirectory();
  const std::string directory = CommandDirectory(CommandLine);
  if (!directory.empty() && chdir(directory.c_str()) != 0) {
    // A directory that cannot be entered is no reason not to try the program.
  }
  const bool waiting = Mode.empty() || Mode == "0";
  if (!(Busy && waiting) && CheckAllows(CheckPath)) {
    platform::TChildProcess child = platform::TChildProcess::Start(CommandLine);
    if (!child.Started()) {
      ShowMessage(FMessageParent, QStringLiteral("Błąd uruchomienia programu: ") + QString::fromStdString(CommandLine),
                  QStringLiteral("Duplant"), MsgIcon::Error);
    } else {
      Busy = true;
      // The windows keep working while the program runs.
      while (waiting && child.Running()) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      Busy = false;
    }
  }
  if (!own.empty() && chdir(own.c_str()) != 0) {
    // Nothing better to go back to.
  }
}

}  // namespace vandrel::app::admin
