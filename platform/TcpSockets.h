#pragma once
// The process's own TCP connections, told apart by the inode of their socket. A driver that
// hangs on a connection whose server stopped answering can be freed by shutting the
// connection down from another thread: its blocked read ends at once, without closing the
// descriptor under it.
#include <set>

namespace vandrel::platform {

using TSocketSet = std::set<unsigned long>;

// The inodes of this process's TCP sockets (IPv4 and IPv6) open now.
TSocketSet TcpSocketInodes();
// The TCP sockets open now that were not open in Before.
TSocketSet SocketsSince(const TSocketSet& Before);
// shutdown(SHUT_RDWR) on each open descriptor whose socket is in Sockets; the number shut down.
int ShutdownTcpSockets(const TSocketSet& Sockets);
// True when the connection on Sockets is over without a word sent on it: none of them is open
// any more, or one was closed or reset by its peer (a look at the socket, no traffic).
bool TcpConnectionEnded(const TSocketSet& Sockets);

}  // namespace vandrel::platform
