#include "platform/WebAddress.h"

namespace vandrel::platform {

TChildProcess StartWebBrowser(const std::string& Address) { return TChildProcess::StartArgs({"xdg-open", Address}); }

bool OpenWebAddress(const std::string& Address) { return StartWebBrowser(Address).Started(); }

}  // namespace vandrel::platform
