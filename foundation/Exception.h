#pragma once
// The framework's exception base (message and help context) and its silent abort.
#include <exception>
#include <string>

#include "foundation/Object.h"

namespace vandrel {

using AnsiString = std::string;
using TDateTime = double;

class Exception : public TObject, public std::exception {
  VANDREL_CLASS(Exception, TObject)
 public:
  Exception() = default;
  explicit Exception(AnsiString Msg, int HelpContext = 0)
      : Message(std::move(Msg)), HelpContext(HelpContext) {}
  const char* what() const noexcept override { return Message.c_str(); }

  AnsiString Message;
  int HelpContext = 0;
};

// The silent abort: a user's cancellation, never shown as an error.
class EAbort : public Exception {
  VANDREL_CLASS(EAbort, Exception)
 public:
  using Exception::Exception;
};

}  // namespace vandrel
