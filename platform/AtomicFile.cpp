#include "platform/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "platform/FileSystem.h"

namespace vandrel::platform {

namespace {

// A file descriptor closed when it goes out of scope.
class TFd {
 public:
  explicit TFd(int Fd) : FFd(Fd) {}
  ~TFd() {
    if (FFd >= 0) close(FFd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return FFd; }

 private:
  int FFd;
};

bool WriteAll(int Fd, const std::string& Text) {
  size_t Done = 0;
  while (Done < Text.size()) {
    const ssize_t N = write(Fd, Text.data() + Done, Text.size() - Done);
    if (N < 0 && errno == EINTR) continue;
    if (N <= 0) return false;
    Done += static_cast<size_t>(N);
  }
  return true;
}

}  // namespace

TAtomicFile::TAtomicFile(std::string FileName) : FFileName(std::move(FileName)) {}

TAtomicFile::~TAtomicFile() {
  if (FLockFd >= 0) close(FLockFd);
}

std::string TAtomicFile::Directory() const {
  const size_t Slash = FFileName.rfind('/');
  return Slash == std::string::npos ? "." : Slash == 0 ? "/" : FFileName.substr(0, Slash);
}

int TAtomicFile::Lock() {
  if (FLockFd >= 0) return 0;
  if (!ForceDirectories(Directory())) return errno;
  const int Fd = open(LockName().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (Fd < 0) return errno;
  while (flock(Fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      const int Code = errno;
      close(Fd);
      return Code;
    }
  }
  FLockFd = Fd;
  return 0;
}

int TAtomicFile::Read(std::string& Text, bool& Exists) const {
  Text.clear();
  Exists = false;
  TFd Fd(open(FFileName.c_str(), O_RDONLY | O_CLOEXEC));
  if (Fd.Get() < 0) return errno == ENOENT ? 0 : errno;
  Exists = true;
  char Buffer[65536];
  while (true) {
    const ssize_t N = read(Fd.Get(), Buffer, sizeof Buffer);
    if (N < 0 && errno == EINTR) continue;
    if (N < 0) return errno;
    if (N == 0) return 0;
    Text.append(Buffer, static_cast<size_t>(N));
  }
}

int TAtomicFile::WriteContents(int Fd, const std::string& Text) const {
  struct stat Old;
  const mode_t Mode = stat(FFileName.c_str(), &Old) == 0 ? (Old.st_mode & 07777) : 0644;
  if (!WriteAll(Fd, Text) || fchmod(Fd, Mode) != 0 || fsync(Fd) != 0) return errno ? errno : EIO;
  return 0;
}

int TAtomicFile::WriteTemp(const std::string& TempName, const std::string& Text) const {
  TFd Fd(open(TempName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  if (Fd.Get() < 0) return errno;
  if (const int Code = WriteContents(Fd.Get(), Text)) {
    unlink(TempName.c_str());
    return Code;
  }
  return 0;
}

int TAtomicFile::Replace(const std::string& Text) const {
  std::string TempName = TempPrefix() + "XXXXXX";
  const int RawFd = mkostemp(TempName.data(), O_CLOEXEC);
  if (RawFd < 0) return errno;
  TFd Fd(RawFd);
  int Code = WriteContents(Fd.Get(), Text);
  if (!Code && rename(TempName.c_str(), FFileName.c_str()) != 0) Code = errno;
  if (Code) {
    unlink(TempName.c_str());
    return Code;
  }
  SyncDirectory();
  return 0;
}

void TAtomicFile::SyncDirectory() const {
  // Makes a rename in the directory durable.
  TFd DirFd(open(Directory().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (DirFd.Get() >= 0) fsync(DirFd.Get());
}

int TAtomicFile::RemoveTemporaries() const {
  DIR* Dir = opendir(Directory().c_str());
  if (!Dir) return 0;
  const std::string Prefix = TempPrefix().substr(TempPrefix().rfind('/') + 1);
  int Removed = 0;
  while (const dirent* Entry = readdir(Dir)) {
    if (std::string_view(Entry->d_name).substr(0, Prefix.size()) != Prefix) continue;
    if (unlinkat(dirfd(Dir), Entry->d_name, 0) == 0) ++Removed;
  }
  closedir(Dir);
  return Removed;
}

}  // namespace vandrel::platform
