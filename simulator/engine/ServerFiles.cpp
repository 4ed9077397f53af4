// xp_fileexist, xp_dirtree and xp_subdirs: the server's disk as SQL Server's management tools
// browse it. The files directory is the server's data directory (C:\Program Files\Microsoft
// SQL Server\MSSQL\Data, under the model's data root) with its subdirectories. The default
// backup directory (MSSQL\BACKUP) shows the same files, since a backup named there is kept
// in the files directory too (Model::LocalPath); the directories above them hold only the
// way down, and nothing else exists on the disk but the shares (\\NAS\kopie) the server
// was given. The server's own error log, kept beside the data files, is not among them: a
// server keeps it in its LOG directory.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/Statements.h"

namespace msde {
namespace {

struct DiskEntry {
  std::string name;
  bool is_file = false;
};

// What a path names on the server's disk.
struct Place {
  bool exists = false;
  bool is_directory = false;
  std::vector<DiskEntry> entries;  // of a directory, directories and files by name
  std::filesystem::path local;     // under the files directory; empty above it
};

// The error log and its older generations (ERRORLOG.1, ...).
bool IsErrorLog(const Model& model, const std::filesystem::path& path) {
  if (model.error_log.file.empty()) return false;
  const std::string log = model.error_log.file, file = path.string();
  return file.compare(0, log.size(), log) == 0 && (file.size() == log.size() || file[log.size()] == '.');
}

std::vector<DiskEntry> LocalEntries(const Model& model, const std::filesystem::path& dir) {
  std::vector<DiskEntry> entries;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) continue;  // a write in progress
    if (IsErrorLog(model, entry.path())) continue;
    if (entry.is_directory(error)) entries.push_back({name, false});
    else if (entry.is_regular_file(error)) entries.push_back({name, true});
  }
  std::sort(entries.begin(), entries.end(),
            [](const DiskEntry& a, const DiskEntry& b) { return Upper(a.name) < Upper(b.name); });
  return entries;
}

// The server's roots, and the files directory by its own local path, as a file chooser on the
// server's machine names it (and as attach takes it: Model::LocalPath).
std::vector<DiskRoot> BrowsedRoots(const Model& model) {
  std::vector<DiskRoot> roots = model.Roots();
  if (!model.files_dir.empty() && model.files_dir[0] == '/')
    roots.push_back({PathComponents(model.files_dir), model.files_dir, false});
  return roots;
}

Place Resolve(const Model& model, const std::string& path) {
  const std::vector<std::string> parts = PathComponents(path);
  Place place;
  if (parts.empty()) return place;
  for (const DiskRoot& root : BrowsedRoots(model)) {
    if (root.unc != IsUncPath(path)) continue;
    const std::vector<std::string>& data = root.components;
    bool on_the_way = true;
    for (size_t i = 0; i < parts.size() && i < data.size(); ++i)
      on_the_way = on_the_way && EqualNoCase(parts[i], data[i]);
    if (!on_the_way) continue;
    if (parts.size() < data.size()) {
      place.exists = place.is_directory = true;
      const bool listed = std::any_of(place.entries.begin(), place.entries.end(),
                                      [&](const DiskEntry& e) { return e.name == data[parts.size()]; });
      if (!listed) place.entries.push_back({data[parts.size()], false});
      continue;
    }
    std::filesystem::path local = root.local;
    for (size_t i = data.size(); i < parts.size(); ++i) {
      bool found = false;
      for (const DiskEntry& e : LocalEntries(model, local)) {
        if (!EqualNoCase(e.name, parts[i])) continue;
        if (e.is_file && i + 1 < parts.size()) return place;  // a file has nothing below it
        local /= e.name;
        found = true;
        break;
      }
      if (!found) return place;
    }
    std::error_code error;
    place.exists = true;
    place.local = local;
    place.is_directory = std::filesystem::is_directory(local, error);
    if (place.is_directory) place.entries = LocalEntries(model, local);
    return place;
  }
  std::sort(place.entries.begin(), place.entries.end(),
            [](const DiskEntry& a, const DiskEntry& b) { return Upper(a.name) < Upper(b.name); });
  return place;
}

std::string Parent(const std::string& path) {
  std::vector<std::string> parts = PathComponents(path);
  if (parts.size() <= 1) return {};
  parts.pop_back();
  std::string parent;
  for (const auto& p : parts) parent += (parent.empty() ? "" : "\\") + p;
  return IsUncPath(path) ? "\\\\" + parent : parent;
}

void FileExist(Context& ctx, const ProcArgs& args) {
  const std::string path = args.Text("@filename");
  const Place place = Resolve(ctx.model, path);
  const Place parent = Resolve(ctx.model, Parent(path));
  ResultSet result;
  result.columns = {{"File Exists", SqlType::Int, 0, 0, 0, false},
                    {"File is a Directory", SqlType::Int, 0, 0, 0, false},
                    {"Parent Directory Exists", SqlType::Int, 0, 0, 0, false}};
  result.rows.push_back({int64_t(place.exists && !place.is_directory), int64_t(place.exists && place.is_directory),
                         int64_t(parent.exists && parent.is_directory)});
  ctx.SendResult(result);
}

// Rows of the tree below `path` in depth-first order, to `max_depth` levels (0: all).
void Walk(const Model& model, const std::string& path, int depth, int max_depth, bool files, ResultSet& result) {
  const Place place = Resolve(model, path);
  if (!place.is_directory) return;
  for (const DiskEntry& e : place.entries) {
    if (e.is_file && !files) continue;
    Row row;
    row.emplace_back(std::in_place_type<std::string>, e.name);
    row.emplace_back(std::in_place_type<int64_t>, depth);
    if (files) row.emplace_back(std::in_place_type<int64_t>, e.is_file ? 1 : 0);
    result.rows.push_back(row);
    if (!e.is_file && (max_depth == 0 || depth < max_depth))
      Walk(model, path + "\\" + e.name, depth + 1, max_depth, files, result);
  }
}

void DirTree(Context& ctx, const ProcArgs& args) {
  const bool files = args.Int("@file").value_or(0) != 0;
  ResultSet result;
  result.columns = {{"subdirectory", SqlType::NVarChar, 255, 0, 0, true},
                    {"depth", SqlType::Int, 0, 0, 0, true}};
  if (files) result.columns.push_back({"file", SqlType::Int, 0, 0, 0, true});
  Walk(ctx.model, args.Text("@directory"), 1, static_cast<int>(args.Int("@depth").value_or(0)), files, result);
  ctx.SendResult(result);
}

void SubDirs(Context& ctx, const ProcArgs& args) {
  const Place place = Resolve(ctx.model, args.Text("@directory"));
  ResultSet result;
  result.columns = {{"subdirectory", SqlType::NVarChar, 255, 0, 0, true}};
  for (const DiskEntry& e : place.entries)
    if (!e.is_file) result.rows.push_back(Row{Value(std::in_place_type<std::string>, e.name)});
  ctx.SendResult(result);
}

const ProcedureRegistration file_exist("xp_fileexist", {{"@filename", true}}, FileExist);
const ProcedureRegistration dir_tree("xp_dirtree", {{"@directory", true}, {"@depth"}, {"@file"}}, DirTree);
const ProcedureRegistration sub_dirs("xp_subdirs", {{"@directory", true}}, SubDirs);

}  // namespace
}  // namespace msde
