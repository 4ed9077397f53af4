// vandrel-health over a fleet of 200 servers, as a technician runs it over his shops: 180
// answer (one simulated engine listening on 180 ports), 10 refuse the login (another engine
// whose sa has a password) and 10 accept the connection and never answer, as a hung server
// does. The figures are the fleet's time against its slowest server alone (one that never
// answers, which costs one time-out) and the same fleet asked one server at a time, with the
// peak memory of the largest process of each run.
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/LoadEngine.h"
#include "tds/TdsServer.h"
#include "testkit/OdbcConfig.h"
#include "testkit/TempDir.h"

namespace {

constexpr int kAnswering = 180, kRefusing = 10, kSilent = 10;
constexpr int kTimeout = 3;

// A loopback port whose connections the system accepts and nobody ever reads.
int SilentPort(std::vector<int>& Sockets) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 64) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("no silent port");
  Sockets.push_back(fd);
  return ntohs(address.sin_port);
}

struct Run {
  double seconds = 0;
  long peak_kb = 0;  // the largest process of the run (vandrel-health or one of its checks)
  int status = -1;
};

Run RunHealth(const std::vector<std::string>& Arguments) {
  std::vector<char*> argv;
  std::string program = VANDREL_HEALTH_PATH;
  argv.push_back(program.data());
  std::vector<std::string> copy = Arguments;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (!freopen("/dev/null", "w", stdout)) _exit(127);
    execv(argv[0], argv.data());
    _exit(127);
  }
  Run r;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // The run's figure holds its checks' too: each reached it as it waited for them.
  r.peak_kb = usage.ru_maxrss;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string Address(int Port) { return "127.0.0.1," + std::to_string(Port); }

}  // namespace

int main() {
  msde::testkit::TempDir dir("vandrel-health-bench");
  std::ofstream(dir.Path() + "/haslo.json") << R"json({
 "server": {"name": "KASA"},
 "logins": [{"name": "sa", "password": "Inne1", "sysadmin": true}],
 "databases": [{"name": "master", "dbid": 1}, {"name": "tempdb", "dbid": 2}, {"name": "model", "dbid": 3},
               {"name": "msdb", "dbid": 4}]})json";
  auto answering = msde::LoadEngine(std::string(MSDE_DATA_DIR) + "/demo.json", "");
  auto refusing = msde::LoadEngine(dir.Path() + "/haslo.json", "");
  std::vector<std::unique_ptr<msde::tds::TdsServer>> servers;
  std::vector<int> silent_sockets;
  std::vector<std::string> answering_names, silent_names, all;
  auto listen_on = [&](msde::Engine& Engine) {
    servers.push_back(std::make_unique<msde::tds::TdsServer>(Engine));
    return Address(servers.back()->Start(0));
  };
  for (int i = 0; i < kAnswering; ++i) answering_names.push_back(listen_on(*answering));
  for (int i = 0; i < kSilent; ++i) silent_names.push_back(Address(SilentPort(silent_sockets)));
  // The faulty ones spread through the list, as they would be in a real one.
  for (int i = 0, a = 0, s = 0; i < kAnswering + kRefusing + kSilent; ++i) {
    if (i % 20 == 7) all.push_back(silent_names[s++]);
    else if (i % 20 == 13) all.push_back(listen_on(*refusing));
    else all.push_back(answering_names[a++]);
  }
  {
    std::ofstream list(dir.Path() + "/serwery");
    for (size_t i = 0; i < all.size(); ++i) list << all[i] << "  # sklep " << i + 1 << "\n";
  }
  msde::testkit::OdbcConfig config(servers.front()->Port());
  unsetenv("VANDREL_HEALTH_PASSWORD");
  const std::string timeout = std::to_string(kTimeout);

  Run one{1e9, 0, 0};
  for (int i = 0; i < 3; ++i) {
    const Run r = RunHealth({"--server", answering_names[0], "--timeout", timeout});
    if (r.seconds < one.seconds) one = r;
  }
  const Run slowest = RunHealth({"--server", silent_names[0], "--timeout", timeout});
  const Run fleet = RunHealth({"--servers", dir.Path() + "/serwery", "--timeout", timeout});
  const Run serial = RunHealth({"--servers", dir.Path() + "/serwery", "--timeout", timeout, "--jobs", "1"});

  std::printf("%d servers: %d answering, %d refusing the login, %d never answering; --timeout %d\n",
              static_cast<int>(all.size()), kAnswering, kRefusing, kSilent, kTimeout);
  std::printf("%-34s %9s %9s %8s %7s\n", "run", "seconds", "peak MB", "ratio", "status");
  auto row = [&](const char* Name, const Run& r) {
    std::printf("%-34s %9.2f %9.1f %8.2f %7d\n", Name, r.seconds, r.peak_kb / 1024.0, r.seconds / slowest.seconds,
                r.status);
  };
  row("one answering server", one);
  row("one never answering (baseline)", slowest);
  row("fleet, --jobs 16 (default)", fleet);
  row("fleet, --jobs 1", serial);
  std::printf("fleet --jobs 1 / --jobs 16: %.1f\n", serial.seconds / fleet.seconds);

  for (auto& server : servers) server->Stop();
  for (int fd : silent_sockets) close(fd);
  return 0;
}
