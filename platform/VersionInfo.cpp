#include "platform/VersionInfo.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>

namespace vandrel::platform {

namespace {

constexpr std::uint32_t kPolish = 0x0415;
constexpr std::uint32_t kUnicode = 1200;

bool SameFile(const std::string& A, const std::string& B) {
  struct stat SA, SB;
  return stat(A.c_str(), &SA) == 0 && stat(B.c_str(), &SB) == 0 && SA.st_dev == SB.st_dev && SA.st_ino == SB.st_ino;
}

}  // namespace

std::string ModuleFileName() {
  char Buffer[PATH_MAX];
  const ssize_t N = readlink("/proc/self/exe", Buffer, sizeof Buffer);
  return N > 0 ? std::string(Buffer, static_cast<size_t>(N)) : std::string();
}

std::optional<TFileVersionInfo> TFileVersionInfo::Read(const std::string& FileName) {
  if (!SameFile(FileName, "/proc/self/exe")) return std::nullopt;
  TFileVersionInfo Info;
  Info.FTranslation = kUnicode << 16 | kPolish;
  Info.FFields = {
      {"CompanyName", "Quorvel"},
      {"FileDescription", "Vandrel – administracja serwera MSDE 2000"},
      {"FileVersion", VANDREL_VERSION},
      {"InternalName", "Vandrel"},
      {"LegalCopyright", "Copyright © Quorvel"},
      {"OriginalFilename", "vandrel"},
      {"ProductName", "Vandrel"},
      {"ProductVersion", VANDREL_VERSION},
  };
  return Info;
}

std::optional<std::string> TFileVersionInfo::QueryValue(const std::string& SubBlock) const {
  char Translation[16];
  std::snprintf(Translation, sizeof Translation, "%04x%04x", static_cast<unsigned>(FTranslation & 0xFFFF),
                static_cast<unsigned>(FTranslation >> 16));
  const std::string Prefix = std::string("\\StringFileInfo\\") + Translation + "\\";
  if (SubBlock.size() <= Prefix.size() || strncasecmp(SubBlock.c_str(), Prefix.c_str(), Prefix.size()) != 0) return std::nullopt;
  const std::string Name = SubBlock.substr(Prefix.size());
  for (const auto& F : FFields) {
    if (strcasecmp(Name.c_str(), F.Name) == 0) return F.Value;
  }
  return std::nullopt;
}

}  // namespace vandrel::platform
