#pragma once
// The error of the file components: a numbered failure that names the file (its class,
// component name and path) and carries, as its inner exception, the state error or the
// operating system's error that caused it.
#include <string_view>

#include "foundation/MacError.h"

namespace vandrel {

class TMCustomFile;

// The numbers raised by the file components.
namespace ferr {
inline constexpr int NotOpen = 101;
inline constexpr int ReadOnly = 102;
inline constexpr int Open = 103;
inline constexpr int OpenFailed = 104;
inline constexpr int SetPath = 105;
inline constexpr int SetReadOnly = 106;
inline constexpr int SetRandomAccess = 107;
inline constexpr int SetPointer = 108;
inline constexpr int Write = 109;
inline constexpr int WriteIncomplete = 110;
inline constexpr int Read = 111;
inline constexpr int Flush = 112;
inline constexpr int SetEof = 113;
}  // namespace ferr

class EMFileError : public EMException {
  VANDREL_CLASS(EMFileError, EMException)
 public:
  EMFileError(const TMCustomFile* File, const Exception* Inner, int Code);

  TMacIconKind MacIcon() const override { return micWarning; }
  AnsiString MacCode() const override;
  AnsiString MacMessage() const override;
  AnsiString MacDescription() const override;
  std::unique_ptr<EMException> Clone() const override;
  void Assign(const EMException* Source) override;

  // With an empty ApiFunction raises EMFileError (File, no inner, Code); otherwise the
  // calling thread's errno becomes an inner EMWin32LastError for ApiFunction.
  [[noreturn]] static void Generate(const TMCustomFile* File, int Code, std::string_view ApiFunction);

  // The text of a code in the current language (empty for an unknown code).
  static AnsiString CodeText(int Code);

  int GetFileCode() const { return FCode; }
  const AnsiString& GetType() const { return FType; }
  const AnsiString& GetObject() const { return FObject; }
  const AnsiString& GetPath() const { return FPath; }

 private:
  int FCode;
  AnsiString FType, FObject, FPath;
};

}  // namespace vandrel
