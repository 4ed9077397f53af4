#include "foundation/ApplicationEvents.h"

#include <cstdio>

#include "foundation/MacError.h"

namespace vandrel {

TMApplicationEvents& ApplicationEvents() {
  static TMApplicationEvents Events;
  return Events;
}

void EMException::ShowExceptionNow(const Exception* E) {
  TMApplicationEvents& Application = ApplicationEvents();
  if (Application.OnException) {
    Application.OnException(nullptr, E);
  } else if (Application.DefaultDisplay) {
    Application.DefaultDisplay(E);
  } else if (E) {
    std::fprintf(stderr, "%s\n", E->Message.c_str());
  }
}

void EMException::ShowNow() const { ShowExceptionNow(this); }

}  // namespace vandrel
