#include "engine/LoadEngine.h"

#include <filesystem>

#include "engine/SimEngine.h"

namespace msde {

std::unique_ptr<Engine> LoadEngine(const std::string& DataFile, const std::string& FilesDir,
                                   const std::string& TraceFile) {
  Model model = LoadModel(DataFile);
  model.files_dir = FilesDir.empty()
                        ? (std::filesystem::path(DataFile).parent_path() / "files").string()
                        : FilesDir;
  auto engine = std::make_unique<SimEngine>(std::move(model));
  if (!TraceFile.empty()) engine->SetTrace(std::make_unique<StatementTrace>(TraceFile));
  return engine;
}

}  // namespace msde
