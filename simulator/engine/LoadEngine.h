#pragma once
// Creates the simulated server's engine from a data set (see engine/Model.h for the file
// format). FilesDir is where attachable database files are found and detached ones written;
// an empty FilesDir means the "files" directory beside DataFile. Throws std::runtime_error
// when the data set cannot be read. A TraceFile other than empty receives the statement
// trace (see engine/StatementTrace.h).
#include <memory>
#include <string>

#include "Engine.h"

namespace msde {

std::unique_ptr<Engine> LoadEngine(const std::string& DataFile, const std::string& FilesDir,
                                   const std::string& TraceFile = "");

}  // namespace msde
