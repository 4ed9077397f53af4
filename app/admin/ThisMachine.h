#pragma once
// Whether a server name names the machine the tool runs on, for the commands that act on this
// machine's own services.
#include <string>

namespace vandrel::app::admin {

// "(local)", ".", "localhost", this machine's host name, a loopback address (127.0.0.0/8,
// ::1) or an address of one of this machine's network interfaces; a port (",1433") or an
// instance ("\\SQLEXPRESS") after the host is ignored. An empty name is not known to be here.
bool HostIsThisMachine(const std::string& Server);

}  // namespace vandrel::app::admin
