#pragma once
// The server's error log, as SQL Server writes its ERRORLOG: one line per entry,
//   2026-12-10 12:00:01.23 spid51    Text of the entry
// (the time to hundredths, the source padded to nine characters and a blank). A text of several
// lines goes on as further lines without a time. Each start begins a new log: the previous
// file becomes ERRORLOG.1, that one ERRORLOG.2, up to ERRORLOG.6, which is dropped.
#include <optional>
#include <string>
#include <vector>

#include "engine/Model.h"

namespace msde {

constexpr int kErrorLogGenerations = 6;

// Starts this run's log: keeps the entries the data set carried, moves the older files on
// and writes the start-up entries. `process_id` is the one "Server Process ID is n." names.
void StartErrorLog(Model& model, long process_id);
// Adds an entry with the time now, to the log and its file.
void LogEvent(Model& model, const std::string& source, const std::string& text);
// The source of an entry a session's statement made: "spid53".
std::string SpidSource(int spid);

std::string ErrorLogText(const ErrorLogLine& line);
// The entries of an archived log's file (ERRORLOG.n); nullopt when there is no such file.
std::optional<std::vector<ErrorLogLine>> ReadErrorLogFile(const std::string& file);

}  // namespace msde
