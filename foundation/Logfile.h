#pragma once
// A log file that several threads may write: each Log call appends its text under the
// component's lock, the first line after "[" + thread identifier + "] " + the time +
// "> ", further lines indented to the same width. Opening moves to the end of the file.
#include <mutex>

#include "foundation/CustomFile.h"
#include "foundation/TdtTools.h"

namespace vandrel {

class TMLogfile : public TMCustomFile {
  VANDREL_CLASS(TMLogfile, TMCustomFile)
 public:
  explicit TMLogfile(TObject* Owner = nullptr);
  ~TMLogfile() override;

  bool GetActive() const override;
  void SetActive(bool Value) override;
  TdtFormat GetDTFormat() const;
  void SetDTFormat(TdtFormat Value);

  void Log(const AnsiString& Text);

  // The calling thread's identifier as the log shows it: 8 upper-case hexadecimal digits.
  static AnsiString ThreadTag();

 private:
  mutable std::recursive_mutex FLock;
  TdtFormat FDTFormat = fmtDateTimeCompressed;
};

}  // namespace vandrel
