#include "engine/ErrorLog.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/SqlTime.h"

namespace msde {
namespace {

// "2026-12-10 12:00:01.23": the data set's form cut to hundredths of a second.
std::string LogTimeText(SqlDateTime time) { return DateTimeText(time).substr(0, 22); }

void AppendToFile(const std::string& file, const std::string& text) {
  if (file.empty()) return;
  std::ofstream out(file, std::ios::binary | std::ios::app);
  out << text;
}

// Moves ERRORLOG to ERRORLOG.1 and each older one a place on, the oldest one out.
void CycleFiles(const std::string& file) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::remove(file + "." + std::to_string(kErrorLogGenerations), error);
  for (int n = kErrorLogGenerations - 1; n >= 1; --n)
    fs::rename(file + "." + std::to_string(n), file + "." + std::to_string(n + 1), error);
  fs::rename(file, file + ".1", error);
}

// The lines SQL Server writes first when it starts.
std::vector<std::string> StartUpTexts(const Model& model, long process_id) {
  const ServerInfo& s = model.server;
  std::string version = s.version_text;
  while (!version.empty() && (version.back() == '\n' || version.back() == ' ')) version.pop_back();
  std::vector<std::string> texts = {version,
                                    "Copyright (C) 1988-2002 Microsoft Corporation.",
                                    "All rights reserved.",
                                    "Server Process ID is " + std::to_string(process_id) + ".",
                                    "Logging SQL Server messages in file '" + s.data_root + "\\LOG\\ERRORLOG'.",
                                    "SQL Server is starting at priority class 'normal'(" +
                                        std::to_string(s.processor_count) + " CPU detected)."};
  return texts;
}

}  // namespace

std::string SpidSource(int spid) { return "spid" + std::to_string(spid); }

std::string ErrorLogText(const ErrorLogLine& line) {
  char source[16];
  std::snprintf(source, sizeof source, "%-9s ", line.source.c_str());
  return LogTimeText(line.time) + " " + source + line.text + "\n";
}

void LogEvent(Model& model, const std::string& source, const std::string& text) {
  ErrorLogLine line{NowDateTime(), source, text};
  AppendToFile(model.error_log.file, ErrorLogText(line));
  model.error_log.lines.push_back(std::move(line));
}

void StartErrorLog(Model& model, long process_id) {
  ErrorLog& log = model.error_log;
  if (!log.file.empty()) {
    CycleFiles(log.file);
    std::string carried;
    for (const ErrorLogLine& line : log.lines) carried += ErrorLogText(line);
    AppendToFile(log.file, carried);
  }
  for (const std::string& text : StartUpTexts(model, process_id)) LogEvent(model, "server", text);
  for (const Database& db : model.databases)
    LogEvent(model, "spid" + std::to_string(db.dbid + 4), "Starting up database '" + db.name + "'.");
  LogEvent(model, "spid3", model.server.Is2005()
                               ? "Recovery is complete. This is an informational message only. No user action is required."
                               : "Recovery complete.");
}

std::optional<std::vector<ErrorLogLine>> ReadErrorLogFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<ErrorLogLine> lines;
  std::string text;
  while (std::getline(in, text)) {
    std::optional<SqlDateTime> time;
    if (text.size() >= 33 && text[22] == ' ') time = ParseDateTime(text.substr(0, 22) + "0");
    if (!time) {
      if (!lines.empty()) lines.back().text += "\n" + text;
      continue;
    }
    std::string source = text.substr(23, 9);
    while (!source.empty() && source.back() == ' ') source.pop_back();
    lines.push_back({*time, source, text.substr(33)});
  }
  return lines;
}

}  // namespace msde
