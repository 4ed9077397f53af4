#pragma once
// Whether a server answers where SQL Server's clients look for it: a TCP port (1433 for a
// default instance) and the SQL Server Browser's UDP port 1434.
#include <string>

namespace vandrel::app::admin {

// True when Host accepts a TCP connection on Port within Milliseconds.
bool TcpPortAnswers(const std::string& Host, int Port, int Milliseconds);
// The SQL Server Browser's answer from Host (its list of instances, "ServerName;...;tcp;1433;;"
// per instance), empty when none came within Milliseconds.
std::string BrowserAnswer(const std::string& Host, int Milliseconds);

}  // namespace vandrel::app::admin
