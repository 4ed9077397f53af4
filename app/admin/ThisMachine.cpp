#include "app/admin/ThisMachine.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <strings.h>
#include <unistd.h>

#include <cstring>

namespace vandrel::app::admin {

namespace {

std::string HostPart(const std::string& Server) {
  std::string host = Server.substr(0, Server.find_first_of(",\\"));
  const size_t first = host.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  host = host.substr(first, host.find_last_not_of(" \t") - first + 1);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  return host;
}

bool Same(const std::string& A, const char* B) { return strcasecmp(A.c_str(), B) == 0; }

// True when Host is an address of one of this machine's interfaces (loopback included).
bool IsOwnAddress(const std::string& Host) {
  in_addr v4{};
  in6_addr v6{};
  const bool isV4 = inet_pton(AF_INET, Host.c_str(), &v4) == 1;
  const bool isV6 = !isV4 && inet_pton(AF_INET6, Host.c_str(), &v6) == 1;
  if (!isV4 && !isV6) return false;
  if (isV4 && (ntohl(v4.s_addr) >> 24) == 127) return true;
  if (isV6 && IN6_IS_ADDR_LOOPBACK(&v6)) return true;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool own = false;
  for (const ifaddrs* a = list; a && !own; a = a->ifa_next) {
    if (!a->ifa_addr) continue;
    if (isV4 && a->ifa_addr->sa_family == AF_INET) {
      own = reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr == v4.s_addr;
    } else if (isV6 && a->ifa_addr->sa_family == AF_INET6) {
      own = std::memcmp(&reinterpret_cast<const sockaddr_in6*>(a->ifa_addr)->sin6_addr, &v6, sizeof v6) == 0;
    }
  }
  freeifaddrs(list);
  return own;
}

}  // namespace

bool HostIsThisMachine(const std::string& Server) {
  const std::string host = HostPart(Server);
  if (host.empty()) return false;  // no server named (a data source chose it): not known to be here
  if (Same(host, "(local)") || host == "." || Same(host, "localhost")) return true;
  char name[256] = {0};
  if (gethostname(name, sizeof name - 1) == 0 && name[0] && Same(host, name)) return true;
  return IsOwnAddress(host);
}

}  // namespace vandrel::app::admin
