#include "platform/TcpSockets.h"

#include <dirent.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>

namespace vandrel::platform {

namespace {

bool IsTcp(int Fd) {
  int Domain = 0, Type = 0;
  socklen_t Length = sizeof Domain;
  if (getsockopt(Fd, SOL_SOCKET, SO_DOMAIN, &Domain, &Length) != 0) return false;
  Length = sizeof Type;
  if (getsockopt(Fd, SOL_SOCKET, SO_TYPE, &Type, &Length) != 0) return false;
  return (Domain == AF_INET || Domain == AF_INET6) && Type == SOCK_STREAM;
}

// Calls Visit with each open TCP descriptor and its socket's inode.
void ForEachTcpSocket(const std::function<void(int Fd, unsigned long Inode)>& Visit) {
  DIR* Dir = opendir("/proc/self/fd");
  if (!Dir) return;
  while (const dirent* Entry = readdir(Dir)) {
    char* End = nullptr;
    const long Fd = std::strtol(Entry->d_name, &End, 10);
    if (End == Entry->d_name || *End || Fd == dirfd(Dir)) continue;
    struct stat Info;
    if (fstat(static_cast<int>(Fd), &Info) != 0 || !S_ISSOCK(Info.st_mode) || !IsTcp(static_cast<int>(Fd))) continue;
    Visit(static_cast<int>(Fd), static_cast<unsigned long>(Info.st_ino));
  }
  closedir(Dir);
}

}  // namespace

TSocketSet TcpSocketInodes() {
  TSocketSet Inodes;
  ForEachTcpSocket([&](int, unsigned long Inode) { Inodes.insert(Inode); });
  return Inodes;
}

TSocketSet SocketsSince(const TSocketSet& Before) {
  TSocketSet New;
  for (unsigned long Inode : TcpSocketInodes())
    if (!Before.count(Inode)) New.insert(Inode);
  return New;
}

int ShutdownTcpSockets(const TSocketSet& Sockets) {
  int Count = 0;
  ForEachTcpSocket([&](int Fd, unsigned long Inode) {
    if (Sockets.count(Inode) && shutdown(Fd, SHUT_RDWR) == 0) ++Count;
  });
  return Count;
}

bool TcpConnectionEnded(const TSocketSet& Sockets) {
  bool open = false, ended = false;
  ForEachTcpSocket([&](int Fd, unsigned long Inode) {
    if (!Sockets.count(Inode)) return;
    open = true;
    char byte = 0;
    const ssize_t got = recv(Fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) ended = true;
  });
  return !open || ended;
}

}  // namespace vandrel::platform
