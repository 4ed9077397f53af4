#include "tools/health/HealthFleet.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <iostream>

#include "tools/health/HealthWire.h"

namespace vandrel::healthtool {
namespace {

using Clock = std::chrono::steady_clock;

// What a check writes first once the server has taken its login; the check follows as JSON,
// which never starts with it.
constexpr char kLoginMark = '+';

struct TChild {
  size_t Index = 0;  // in Servers
  pid_t Pid = -1;
  int Fd = -1;
  std::string Said;  // the login mark, then the check on the wire
  Clock::time_point Deadline;
  bool LoggedIn = false;
  bool Killed = false;
};

void WriteAll(int Fd, const std::string& Text) {
  for (size_t done = 0; done < Text.size();) {
    const ssize_t n = write(Fd, Text.data() + done, Text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// The check of one server in a process of its own; false when none could be started.
bool StartChild(const std::string& Server, const TCheckOptions& Options, TChild& Child) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  std::cout.flush();
  std::cerr.flush();
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (pid == 0) {
    close(fds[0]);
    TCheckOptions options = Options;
    options.OnConnected = [&] { WriteAll(fds[1], std::string(1, kLoginMark)); };
    WriteAll(fds[1], HealthToWire(CheckServer(Server, options)));
    _exit(0);  // the parent's buffers and handlers are the parent's
  }
  close(fds[1]);
  Child.Pid = pid;
  Child.Fd = fds[0];
  Child.Deadline = Clock::now() + std::chrono::seconds(LoginBoundSeconds(Options));
  return true;
}

TServerHealth Unreached(const std::string& Server, std::string Error) {
  TServerHealth h;
  h.Server = Server;
  h.Error = std::move(Error);
  return h;
}

// The child's outcome once its pipe is closed: what it said, or why it said nothing whole.
TServerHealth Finish(TChild& Child, const std::string& Server) {
  close(Child.Fd);
  int status = 0;
  while (waitpid(Child.Pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (Child.Killed)
    return Unreached(Server, Child.LoggedIn ? "serwer nie odpowiedział na zapytania w limicie czasu"
                                            : "serwer nie odpowiedział na logowanie w limicie czasu");
  TServerHealth h;
  const std::string wire = Child.Said.substr(Child.LoggedIn ? 1 : 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !HealthFromWire(wire, h))
    return Unreached(Server, "sprawdzanie przerwane (kod " + std::to_string(status) + ")");
  h.Server = Server;
  return h;
}

}  // namespace

int LoginBoundSeconds(const TCheckOptions& Options) { return Options.LoginTimeout + 1; }
int StatementsBoundSeconds(const TCheckOptions& Options) { return 10 * Options.QueryTimeout; }

std::vector<TServerHealth> CheckServers(const std::vector<std::string>& Servers, const TCheckOptions& Options, int Jobs) {
  std::vector<TServerHealth> results(Servers.size());
  std::vector<TChild> running;
  size_t next = 0;
  while (next < Servers.size() || !running.empty()) {
    while (next < Servers.size() && running.size() < static_cast<size_t>(std::max(Jobs, 1))) {
      TChild child;
      child.Index = next;
      if (StartChild(Servers[next], Options, child)) {
        running.push_back(std::move(child));
      } else if (!running.empty()) {
        break;  // tried again once one of the running checks ends
      } else {
        results[next] = Unreached(Servers[next], "nie można uruchomić procesu sprawdzania");
      }
      ++next;
    }
    std::vector<pollfd> polled;
    for (const TChild& c : running) polled.push_back({c.Fd, POLLIN, 0});
    if (polled.empty()) continue;
    const Clock::time_point now = Clock::now();
    Clock::time_point soonest = running.front().Deadline;
    for (const TChild& c : running) soonest = std::min(soonest, c.Deadline);
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(soonest - now).count();
    // A poll cut short by a signal reads nothing this round; the deadlines are still looked at.
    if (poll(polled.data(), polled.size(), static_cast<int>(std::clamp<long long>(wait + 1, 0, 60000))) < 0)
      for (pollfd& p : polled) p.revents = 0;
    for (size_t i = running.size(); i-- > 0;) {
      TChild& c = running[i];
      bool ended = false;
      if (polled[i].revents != 0) {
        char buffer[65536];
        const ssize_t n = read(c.Fd, buffer, sizeof buffer);
        if (n > 0) c.Said.append(buffer, static_cast<size_t>(n));
        if (!c.LoggedIn && !c.Said.empty() && c.Said[0] == kLoginMark) {
          c.LoggedIn = true;
          c.Deadline = Clock::now() + std::chrono::seconds(StatementsBoundSeconds(Options));
        }
        ended = n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN);
      }
      if (!ended && Clock::now() >= c.Deadline) {
        kill(c.Pid, SIGKILL);
        c.Killed = ended = true;
      }
      if (!ended) continue;
      results[c.Index] = Finish(c, Servers[c.Index]);
      running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  return results;
}

}  // namespace vandrel::healthtool
