#pragma once
// TMExeVersion: the version fields of a program file (the running program's when ModulePath
// is blank), read again on every call.
#include <cstdint>
#include <string>

namespace vandrel::app {

class TMExeVersion {
 public:
  std::string ModulePath;

  std::string GetModuleName() const;
  std::string GetCompanyName() const { return Field("CompanyName"); }
  std::string GetFileDescription() const { return Field("FileDescription"); }
  std::string GetFileVersion() const { return Field("FileVersion"); }
  std::string GetInternalName() const { return Field("InternalName"); }
  std::string GetLegalCopyright() const { return Field("LegalCopyright"); }
  std::string GetLegalTrademarks() const { return Field("LegalTrademarks"); }
  std::string GetOriginalFilename() const { return Field("OriginalFilename"); }
  std::string GetProductName() const { return Field("ProductName"); }
  std::string GetProductVersion() const { return Field("ProductVersion"); }
  std::string GetComments() const { return Field("Comments"); }
  std::string GetMajorVersion() const { return VersionWord(0); }
  std::string GetMinorVersion() const { return VersionWord(1); }
  std::string GetRelease() const { return VersionWord(2); }
  std::string GetBuild() const { return VersionWord(3); }
  std::string GetVersionString() const;

  // Reads one field of FileName's version information into Buffer (at most BufferSize - 1
  // characters, terminated); packs up to four numbers of the value into PackedValue when
  // given. Returns the value's length, or 0 when it cannot be read.
  static int GetFileVersionField(const std::string& FileName, const std::string& FieldName,
                                 char* Buffer, int BufferSize, std::uint32_t* PackedValue);

 private:
  std::string Field(const char* Name) const;
  std::string VersionWord(int Index) const;
};

}  // namespace vandrel::app
