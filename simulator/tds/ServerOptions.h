#pragma once
// Limits that keep one connection from taking the server down.
#include <cstddef>

namespace msde::tds {

struct ServerOptions {
  size_t max_request_bytes = 4u << 20;  // a larger batch is refused with an error
  int in_message_timeout_ms = 30000;    // a started request that stalls this long is dropped
  int login_timeout_ms = 30000;         // pre-login and login must be whole within this
  // SQL Server's own ceiling of `user connections`; further clients are turned away at once.
  size_t max_connections = 32767;
  size_t max_queued_requests = 4;       // requests read ahead of the one being served
};

}  // namespace msde::tds
