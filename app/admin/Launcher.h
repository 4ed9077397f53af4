#pragma once
// The launcher of the external programs: one object per command, which starts a command line
// after an optional existence check, in the directory of its program, and either returns at
// once or waits for the program's end while the windows stay alive.
#include <string>

class QWidget;

namespace vandrel::app::admin {

class TLauncher {
 public:
  explicit TLauncher(QWidget* MessageParent = nullptr) : FMessageParent(MessageParent) {}

  // A launch is running and being waited for.
  bool Busy = false;
  std::string Text;

  // Starts CommandLine. CheckPath "" starts without a check, "!" + path only when that file
  // is missing, any other path only when it exists. Mode "" or "0" waits for the end (and is
  // refused while Busy); any other mode returns at once.
  void Launch(const std::string& CommandLine, const std::string& CheckPath, const std::string& Mode);

 private:
  QWidget* FMessageParent;
};

// The directory of this program's own executable.
std::string ProgramDirectory();

}  // namespace vandrel::app::admin
