#include "testkit/SimServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace msde::testkit {
namespace {

constexpr int kStartTimeoutMs = 30000;
constexpr auto kStopGrace = std::chrono::seconds(10);

// The ports a client's connection may be given as its own (Linux's default range when the
// kernel does not say).
std::pair<int, int> EphemeralPorts() {
  std::ifstream range("/proc/sys/net/ipv4/ip_local_port_range");
  int low = 32768, high = 60999;
  range >> low >> high;
  return {low, high};
}

std::string DefaultFilesDir(const std::string& data_file) {
  return (std::filesystem::path(data_file).parent_path() / "files").string();
}

// Reads the first line the server prints, waiting at most TimeoutMs in all.
std::string ReadFirstLine(int fd, int TimeoutMs) {
  std::string line;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
      throw std::runtime_error("msde-sim did not report its port in time");
    char c;
    ssize_t n = ::read(fd, &c, 1);
    if (n <= 0) throw std::runtime_error("msde-sim ended before reporting its port: " + line);
    if (c == '\n') return line;
    line += c;
  }
}

// Undoes the trace's escapes (\\, \t, \r, \n).
std::string Unescape(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      out += field[i];
      continue;
    }
    const char c = field[++i];
    out += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
  }
  return out;
}

TraceLine ParseTraceLine(const std::string& line) {
  TraceLine t;
  const size_t a = line.find('\t');
  const size_t b = line.find('\t', a + 1);
  const size_t c = line.find('\t', b + 1);
  if (a == std::string::npos || b == std::string::npos || c == std::string::npos)
    throw std::runtime_error("malformed trace line: " + line);
  t.Spid = std::stoi(line.substr(0, a));
  t.Application = Unescape(line.substr(a + 1, b - a - 1));
  t.Database = Unescape(line.substr(b + 1, c - b - 1));
  t.Text = Unescape(line.substr(c + 1));
  return t;
}

}  // namespace

SimServer::SimServer(SimServerOptions options) : options_(std::move(options)) {
  trace_file_ = trace_dir_.Path() + "/statements.trace";
  files_dir_ =
      options_.files_dir.empty() ? DefaultFilesDir(options_.data_file) : options_.files_dir;
  if (options_.private_files) {
    files_copy_ = std::make_unique<TempDir>("msde-files");
    if (std::filesystem::exists(files_dir_))
      std::filesystem::copy(files_dir_, files_copy_->Path(),
                            std::filesystem::copy_options::recursive);
    files_dir_ = files_copy_->Path();
  }
  config_ = std::make_unique<OdbcConfig>(LaunchOnFixedPort());
}

SimServer::~SimServer() { Stop(); }

int SimServer::Launch(int port) {
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  // The test's own sockets (its ODBC connections) must not live on in the server.
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  std::string port_text = std::to_string(port);
  std::vector<std::string> args = {options_.program,   "--port",  port_text,  "--data",
                                   options_.data_file, "--files", files_dir_, "--trace",
                                   trace_file_, "--errorlog", ErrorLogFile()};
  args.insert(args.end(), options_.extra_arguments.begin(), options_.extra_arguments.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, options_.program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  if (rc != 0) {
    ::close(pipe_fds[0]);
    throw std::runtime_error("cannot start " + options_.program);
  }
  pid_ = pid;
  // The pipe stays open while the server runs, so that a later line cannot break its stdout.
  stdout_fd_ = pipe_fds[0];
  try {
    return std::stoi(ReadFirstLine(stdout_fd_, kStartTimeoutMs));
  } catch (...) {
    Stop();
    throw;
  }
}

void SimServer::Stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    auto deadline = std::chrono::steady_clock::now() + kStopGrace;
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
  }
  if (stdout_fd_ >= 0) {
    ::close(stdout_fd_);
    stdout_fd_ = -1;
  }
}

namespace {

// Whether every thread of Pid is stopped ("T" in the state field of /proc/Pid/task/*/stat).
bool AllThreadsStopped(pid_t Pid) {
  std::error_code error;
  const std::filesystem::path tasks = "/proc/" + std::to_string(Pid) + "/task";
  for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
    std::ifstream stat(task.path() / "stat");
    std::string line;
    std::getline(stat, line);
    const size_t end = line.rfind(')');  // the command name may hold spaces and ')'
    if (end == std::string::npos || end + 2 >= line.size() || line[end + 2] != 'T') return false;
  }
  return !error;
}

}  // namespace

void SimServer::Freeze() {
  if (pid_ <= 0 || ::kill(pid_, SIGSTOP) != 0) throw std::runtime_error("cannot stop the server");
  // The stop reaches the other threads only once the thread that took the signal has run.
  const auto deadline = std::chrono::steady_clock::now() + kStopGrace;
  while (!AllThreadsStopped(pid_)) {
    if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("the server did not stop");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void SimServer::Thaw() {
  if (pid_ > 0) ::kill(pid_, SIGCONT);
}

std::vector<TraceLine> SimServer::Trace() const { return TraceSince(0); }

size_t SimServer::TraceMark() const {
  std::ifstream in(trace_file_, std::ios::binary);
  size_t lines = 0;
  for (std::string line; std::getline(in, line);) ++lines;
  return lines;
}

std::vector<TraceLine> SimServer::TraceSince(size_t Mark) const {
  std::ifstream in(trace_file_, std::ios::binary);
  std::vector<TraceLine> lines;
  size_t index = 0;
  for (std::string line; std::getline(in, line); ++index)
    if (index >= Mark) lines.push_back(ParseTraceLine(line));
  return lines;
}

int SimServer::LaunchOnFixedPort() {
  // A restart takes the same port again, so the port is chosen below the ephemeral range: a
  // port the system gave out would be given, while the server is down, to some other test's
  // client connection as its own, and the restart would fail. Taken ports are tried again.
  const int low = EphemeralPorts().first;
  if (low <= 11024) return Launch(0);
  std::random_device random;
  std::uniform_int_distribution<int> pick(10000, low - 1);
  for (int attempt = 1;; ++attempt) {
    try {
      return Launch(pick(random));
    } catch (const std::exception&) {
      if (attempt == 20) throw;
    }
  }
}

void SimServer::Restart() {
  Stop();
  Launch(config_->Port());
}

}  // namespace msde::testkit
