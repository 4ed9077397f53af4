#include "engine/LoadEngine.h"

#include <filesystem>

#include "engine/ErrorLog.h"
#include "engine/SimEngine.h"

namespace msde {

std::unique_ptr<Engine> LoadEngine(const EngineSetup& setup) {
  Model model = LoadModel(setup.data_file);
  model.files_dir = setup.files_dir.empty()
                        ? (std::filesystem::path(setup.data_file).parent_path() / "files").string()
                        : setup.files_dir;
  model.shares = setup.shares;
  model.error_log.file = setup.error_log;
  StartErrorLog(model, setup.process_id);
  auto engine = std::make_unique<SimEngine>(std::move(model));
  if (!setup.trace_file.empty()) engine->SetTrace(std::make_unique<StatementTrace>(setup.trace_file));
  return engine;
}

std::unique_ptr<Engine> LoadEngine(const std::string& DataFile, const std::string& FilesDir,
                                   const std::string& TraceFile) {
  EngineSetup setup;
  setup.data_file = DataFile;
  setup.files_dir = FilesDir;
  setup.trace_file = TraceFile;
  return LoadEngine(setup);
}

}  // namespace msde
