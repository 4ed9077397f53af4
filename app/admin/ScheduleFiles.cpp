#include "app/admin/ScheduleFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace vandrel::app::admin {
namespace {

std::string Failure(const std::string& What, const std::string& Path) {
  return What + " " + Path + ": " + std::strerror(errno);
}

}  // namespace

std::string WriteWholeFile(const std::string& Path, const std::string& Text, unsigned Mode) {
  const std::string temporary = Path + ".vandrel-" + std::to_string(getpid());
  unlink(temporary.c_str());  // one left by a run that died here
  // O_EXCL: the file is new, so the mode it is created with is the only one it ever had.
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, Mode);
  if (fd < 0) return Failure("Nie można utworzyć pliku", temporary);
  bool written = fchmod(fd, Mode) == 0;  // the umask may have taken more than Mode gives
  for (size_t done = 0; written && done < Text.size();) {
    const ssize_t n = write(fd, Text.data() + done, Text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    written = n > 0;
    if (written) done += static_cast<size_t>(n);
  }
  written = written && fsync(fd) == 0;
  const std::string failure = written ? "" : Failure("Nie można zapisać pliku", temporary);
  close(fd);
  if (written && rename(temporary.c_str(), Path.c_str()) == 0) return {};
  const std::string why = failure.empty() ? Failure("Nie można zapisać pliku", Path) : failure;
  unlink(temporary.c_str());
  return why;
}

bool ReadWholeFile(const std::string& Path, std::string& Text) {
  std::ifstream in(Path, std::ios::binary);
  if (!in) return false;
  std::stringstream whole;
  whole << in.rdbuf();
  Text = whole.str();
  return true;
}

std::string RemoveFile(const std::string& Path) {
  if (unlink(Path.c_str()) == 0 || errno == ENOENT) return {};
  return Failure("Nie można usunąć pliku", Path);
}

}  // namespace vandrel::app::admin
