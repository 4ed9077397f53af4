#pragma once
// The part of the host application object that the library's exceptions reach: its
// exception event (called for an exception that the host's message loop catches, when the
// host assigns it) and the display that EMException::ShowExceptionNow falls back on.
#include <functional>

#include "foundation/Exception.h"

namespace vandrel {

using TExceptionEvent = std::function<void(TObject* Sender, const Exception* E)>;
using TExceptionDisplay = void (*)(const Exception* E);

struct TMApplicationEvents {
  // Unassigned: the host shows exceptions its own standard way.
  TExceptionEvent OnException;
  // Shows an exception when OnException is unassigned. The error dialog's Qt front sets it
  // when it is linked; without a front the message goes to standard error.
  TExceptionDisplay DefaultDisplay = nullptr;
};

// The process's one set (GUI thread only, like everything that shows an error).
TMApplicationEvents& ApplicationEvents();

}  // namespace vandrel
