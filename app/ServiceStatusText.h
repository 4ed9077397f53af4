#pragma once
// What `systemctl status` says of a service, in Polish: the headings and states of its summary
// lines; the service's own log lines below them stay as the service wrote them.
#include <string>

namespace vandrel::app {

std::string PolishServiceStatus(const std::string& Status);

}  // namespace vandrel::app
