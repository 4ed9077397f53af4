#pragma once
// Files on the server's disk (the files directory): whole-file reads, writes that never
// leave half a file behind, and what a database brought in from a file (attach, restore)
// needs before it joins the server.
#include <optional>
#include <string>

#include "engine/Model.h"

namespace msde {

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);
// Writes through a temporary file beside `path` and a rename, so a failed write leaves the
// old file (or none) and never a partial one.
bool WriteFileAtomically(const std::string& path, const std::string& text);
// The attached database one of whose files is the local file `local`, or null.
const Database* DatabaseUsingFile(const Model& model, const std::string& local);
// Users whose sid matches no login of this server become orphaned, as after a move of the
// files to another server; sp_change_users_login ties them to logins again.
void MapUsers(Model& model, Database& db);

}  // namespace msde
