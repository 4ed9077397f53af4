#pragma once
// Creates the simulated server's engine from a data set (see engine/Model.h for the file
// format). FilesDir is where attachable database files are found and detached ones written;
// an empty FilesDir means the "files" directory beside DataFile. Throws std::runtime_error
// when the data set cannot be read. A TraceFile other than empty receives the statement
// trace (see engine/StatementTrace.h).
#include <memory>
#include <string>
#include <vector>

#include "Engine.h"
#include "engine/Model.h"

namespace msde {

struct EngineSetup {
  std::string data_file;
  std::string files_dir;
  std::string trace_file;
  // The error log's file (engine/ErrorLog.h); empty: the log is kept in memory only.
  std::string error_log;
  std::vector<Share> shares;
  long process_id = 0;  // the one the log's start names
};

std::unique_ptr<Engine> LoadEngine(const EngineSetup& setup);
std::unique_ptr<Engine> LoadEngine(const std::string& DataFile, const std::string& FilesDir,
                                   const std::string& TraceFile = "");

}  // namespace msde
