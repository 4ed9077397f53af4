#include "platform/RegStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "foundation/MacError.h"
#include "platform/FileSystem.h"
#include "platform/RegKeyName.h"

namespace vandrel::platform {

namespace {

std::string Env(const char* Name) {
  const char* Value = std::getenv(Name);
  return Value ? Value : "";
}

std::string HomeDirectory() {
  std::string Home = Env("HOME");
  if (Home.empty()) {
    if (const passwd* Pw = getpwuid(getuid())) Home = Pw->pw_dir;
  }
  return Home;
}

std::string SystemError(const std::string& What, const std::string& File, int Code) {
  return What + " " + File + ": " + std::strerror(Code);
}

std::string DirectoryOf(const std::string& File) {
  const size_t Slash = File.rfind('/');
  return Slash == std::string::npos ? "." : Slash == 0 ? "/" : File.substr(0, Slash);
}

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

std::string PathText(const TRegPath& Path) { return Path.empty() ? "(główny)" : JoinRegPath(Path); }

}  // namespace

std::string RegistryStoreFile(HKEY Root) {
  const std::string Name = std::string(RootKeyName(Root)) + ".reg";
  const std::string Dir = Env("VANDREL_REGISTRY_DIR");
  if (!Dir.empty()) return Dir + "/" + Name;
  if (Root == HKEY_LOCAL_MACHINE) return "/etc/vandrel/" + Name;
  std::string Config = Env("XDG_CONFIG_HOME");
  if (Config.empty() || Config.front() != '/') Config = HomeDirectory() + "/.config";  // as XDG says
  return Config + "/vandrel/" + Name;
}

TRegStore::TRegStore(HKEY Root) : TRegStore(Root, RegistryStoreFile(Root)) {}

TRegStore::TRegStore(HKEY Root, std::string FileName) : FRoot(Root), FFileName(std::move(FileName)) {}

TRegDocument TRegStore::Load() const {
  TFd Fd(open(FFileName.c_str(), O_RDONLY | O_CLOEXEC));
  if (Fd.Get() < 0) {
    if (errno == ENOENT) return TRegDocument(RootKeyName(FRoot));
    throw EMRegistryError(SystemError("Nie można otworzyć magazynu rejestru", FFileName, errno));
  }
  std::string Text;
  char Buffer[65536];
  while (true) {
    const ssize_t N = read(Fd.Get(), Buffer, sizeof Buffer);
    if (N < 0 && errno == EINTR) continue;
    if (N < 0) throw EMRegistryError(SystemError("Nie można odczytać magazynu rejestru", FFileName, errno));
    if (N == 0) break;
    Text.append(Buffer, static_cast<size_t>(N));
  }
  try {
    return TRegDocument::Parse(Text, RootKeyName(FRoot));
  } catch (const TRegParseError& E) {
    throw EMRegistryError("Uszkodzony magazyn rejestru " + FFileName + ", wiersz " + std::to_string(E.Line) +
                          ": " + E.what() + ". Plik nie zostanie zapisany, dopóki nie zostanie poprawiony.");
  }
}

void TRegStore::Update(const std::function<bool(TRegDocument&)>& Change) {
  const std::string Dir = DirectoryOf(FFileName);
  if (!ForceDirectories(Dir)) {
    throw EMRegistryError(SystemError("Nie można utworzyć katalogu magazynu rejestru", Dir, errno));
  }
  // The lock is a file of its own: the store itself is replaced by rename on every write.
  const std::string LockName = FFileName + ".lock";
  TFd Lock(open(LockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (Lock.Get() < 0) throw EMRegistryError(SystemError("Nie można utworzyć blokady", LockName, errno));
  while (flock(Lock.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) throw EMRegistryError(SystemError("Nie można zablokować", LockName, errno));
  }
  TRegDocument Doc = Load();
  if (Change(Doc)) Save(Doc.Serialise());
}

void TRegStore::Save(const std::string& Text) {
  std::string TempName = FFileName + ".XXXXXX";
  const int RawFd = mkostemp(TempName.data(), O_CLOEXEC);
  if (RawFd < 0) throw EMRegistryError(SystemError("Nie można utworzyć pliku tymczasowego", TempName, errno));
  TFd Fd(RawFd);
  struct stat Old;
  const mode_t Mode = stat(FFileName.c_str(), &Old) == 0 ? (Old.st_mode & 07777) : 0644;
  if (!WriteAll(Fd.Get(), Text) || fchmod(Fd.Get(), Mode) != 0 || fsync(Fd.Get()) != 0 ||
      rename(TempName.c_str(), FFileName.c_str()) != 0) {
    const int Code = errno;
    unlink(TempName.c_str());
    throw EMRegistryError(SystemError("Nie można zapisać magazynu rejestru", FFileName, Code));
  }
  // Make the rename itself durable.
  TFd DirFd(open(DirectoryOf(FFileName).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (DirFd.Get() >= 0) fsync(DirFd.Get());
}

bool TRegStore::KeyExists(const TRegPath& Path) { return Load().KeyExists(Path); }

bool TRegStore::CreateKey(const TRegPath& Path) {
  if (KeyExists(Path)) return true;
  Update([&](TRegDocument& Doc) { return !Doc.KeyExists(Path) && Doc.CreateKey(Path); });
  return true;
}

bool TRegStore::ValueExists(const TRegPath& Path, const std::string& Name) {
  return Load().FindValue(Path, Name) != nullptr;
}

std::optional<std::string> TRegStore::ReadString(const TRegPath& Path, const std::string& Name) {
  const TRegDocument Doc = Load();
  const TRegLine* Line = Doc.FindValue(Path, Name);
  if (!Line) return std::nullopt;
  if (Line->Type != "string") {
    throw EMRegistryError("Wartość \"" + Name + "\" klucza " + PathText(Path) + " w " + FFileName +
                          " nie jest tekstem (typ " + Line->Type + ")");
  }
  return Line->Text;
}

std::vector<std::string> TRegStore::ValueNames(const TRegPath& Path) { return Load().ValueNames(Path); }

void TRegStore::WriteString(const TRegPath& Path, const std::string& Name, const std::string& Value) {
  Update([&](TRegDocument& Doc) { return Doc.SetString(Path, Name, Value); });
}

bool TRegStore::DeleteValue(const TRegPath& Path, const std::string& Name) {
  bool Deleted = false;
  Update([&](TRegDocument& Doc) { return Deleted = Doc.DeleteValue(Path, Name); });
  return Deleted;
}

}  // namespace vandrel::platform
