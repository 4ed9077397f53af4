#include "engine/SystemObjects.h"

namespace msde {

const std::vector<SystemObject>& SystemObjects() {
  static const std::vector<SystemObject> objects = {
      {1, "sysobjects"},   {2, "sysindexes"},      {3, "syscolumns"},  {4, "systypes"},
      {6, "syscomments"},  {8, "sysfiles1"},       {9, "syspermissions"}, {10, "sysusers"},
      {11, "sysproperties"}, {12, "sysdepends"},   {14, "sysreferences"}, {19, "sysfulltextcatalogs"},
      {24, "sysindexkeys"}, {25, "sysforeignkeys"}, {26, "sysmembers"}, {27, "sysprotects"},
      {96, "sysfilegroups"}, {97, "sysfiles"}};
  return objects;
}

const std::vector<SystemObject>& MasterObjects() {
  static const std::vector<SystemObject> objects = {
      {30, "sysdatabases"}, {31, "sysaltfiles"},   {32, "syslogins"},   {33, "sysprocesses"},
      {34, "syslockinfo"},  {35, "sysconfigures"}, {36, "syscurconfigs"}, {37, "sysservers"},
      {38, "syslanguages"}, {39, "sysmessages"},   {40, "sysdevices"},  {41, "syscharsets"}};
  return objects;
}

std::vector<SystemObject> SystemObjectsOf(const Database& db) {
  std::vector<SystemObject> objects = SystemObjects();
  if (EqualNoCase(db.name, "master"))
    objects.insert(objects.end(), MasterObjects().begin(), MasterObjects().end());
  return objects;
}

std::optional<std::string> ObjectName(Database& db, int64_t id) {
  for (const SystemObject& o : SystemObjectsOf(db))
    if (o.id == id) return std::string(o.name);
  if (id > INT32_MAX || id < INT32_MIN) return std::nullopt;
  if (const Table* t = db.FindTableById(static_cast<int>(id))) return t->name;
  for (const StoredProcedure& p : db.procedures)
    if (p.id == id) return p.name;
  return std::nullopt;
}

std::optional<int64_t> ObjectId(Database& db, const std::string& owner, const std::string& name) {
  if (owner.empty() || EqualNoCase(owner, "dbo"))
    for (const SystemObject& o : SystemObjectsOf(db))
      if (EqualNoCase(o.name, name)) return o.id;
  if (const Table* t = db.FindTable(owner, name)) return t->id;
  if (const StoredProcedure* p = db.FindProcedure(owner, name)) return p->id;
  return std::nullopt;
}

}  // namespace msde
