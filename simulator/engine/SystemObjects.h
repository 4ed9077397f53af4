#pragma once
// Objects every database holds besides its user tables: the system tables with their fixed
// object ids, and name look-ups over both (OBJECT_ID, OBJECT_NAME, sysobjects).
#include <optional>
#include <string>
#include <vector>

#include "engine/Model.h"

namespace msde {

struct SystemObject {
  int id;
  const char* name;
};

const std::vector<SystemObject>& SystemObjects();
// master's own tables besides those.
const std::vector<SystemObject>& MasterObjects();
// The system objects `db` holds: SystemObjects, and in master MasterObjects too.
std::vector<SystemObject> SystemObjectsOf(const Database& db);
// OBJECT_NAME(id) in `db`.
std::optional<std::string> ObjectName(Database& db, int64_t id);
// OBJECT_ID('[owner.]name') in `db`.
std::optional<int64_t> ObjectId(Database& db, const std::string& owner, const std::string& name);

}  // namespace msde
