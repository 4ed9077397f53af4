#include "app/ExeVersion.h"

#include <cstdio>
#include <cstring>

#include "app/VersionText.h"
#include "foundation/Trim.h"
#include "foundation/TxTools.h"
#include "platform/VersionInfo.h"

namespace vandrel::app {

std::string TMExeVersion::GetModuleName() const {
  if (!Trim(ModulePath).empty()) return ModulePath;
  return platform::ModuleFileName();
}

int TMExeVersion::GetFileVersionField(const std::string& FileName, const std::string& FieldName,
                                      char* Buffer, int BufferSize, std::uint32_t* PackedValue) {
  if (PackedValue) *PackedValue = 0;
  const auto info = platform::TFileVersionInfo::Read(FileName);
  if (!info) return 0;
  const std::uint32_t t = info->GetTranslation();
  const std::uint32_t swapped = (t << 16) | (t >> 16);
  char query[300];
  std::snprintf(query, sizeof query, "\\StringFileInfo\\%08lx\\%s",
                static_cast<unsigned long>(swapped), FieldName.c_str());
  const auto value = info->QueryValue(query);
  if (!value || !Buffer || BufferSize <= 0) return 0;
  const size_t n = std::min<size_t>(value->size(), static_cast<size_t>(BufferSize - 1));
  std::memcpy(Buffer, value->data(), n);
  Buffer[n] = '\0';
  if (PackedValue) {
    const char* p = value->c_str();
    for (int shift = 24; shift >= 0; shift -= 8) {
      int number = 0, used = 0;
      if (std::sscanf(p, "%i%n", &number, &used) != 1) break;
      *PackedValue |= static_cast<std::uint32_t>(number & 0xFF) << shift;
      p += used;
      if (*p != '.' && *p != ',') break;
      ++p;
    }
  }
  return static_cast<int>(value->size());
}

std::string TMExeVersion::Field(const char* Name) const {
  char buffer[260];
  if (GetFileVersionField(GetModuleName(), Name, buffer, sizeof buffer, nullptr) == 0) return {};
  return std::string(Trim(buffer));
}

std::string TMExeVersion::VersionWord(int Index) const {
  return std::string(Trim(TxTools(GetFileVersion()).SelectWord(Index, ".")));
}

std::string TMExeVersion::GetVersionString() const { return FormatVersionString(GetFileVersion()); }

}  // namespace vandrel::app
