// sp_changeobjectowner 'owner.object', 'new owner': hands a table to another user of the
// current database.
#include <string>
#include <vector>

#include "engine/AdminRights.h"
#include "engine/Statements.h"

namespace msde {
namespace {

// Splits "owner.name" (parts optionally in [brackets] or "quotes") at its dots.
std::vector<std::string> NameParts(const std::string& text) {
  std::vector<std::string> parts(1);
  char close = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (close != 0) {
      if (c == close && i + 1 < text.size() && text[i + 1] == close) {
        parts.back() += c;
        ++i;
      } else if (c == close) {
        close = 0;
      } else {
        parts.back() += c;
      }
    } else if (c == '[') {
      close = ']';
    } else if (c == '"') {
      close = '"';
    } else if (c == '.') {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

void ChangeObjectOwner(Context& ctx, const ProcArgs& args) {
  Database& db = ctx.CurrentDatabase();
  const std::string object = args.Text("@objname");
  const std::string new_owner = args.Text("@newowner");
  const std::vector<std::string> parts = NameParts(object);
  Table* table = nullptr;
  if (parts.size() == 1) table = db.FindTable("", parts[0]);
  if (parts.size() == 2 && !parts[0].empty()) table = db.FindTable(parts[0], parts[1]);
  if (table == nullptr)
    ctx.Fail(15001, 16, 1,
             "Object '" + object + "' does not exist or is not a valid object for this operation.");
  if (!IsDbOwner(ctx, db))
    ctx.Fail(15247, 16, 1, "User does not have permission to perform this action.");
  ctx.CheckWritable(db);
  const DbUser* owner = db.FindUser(new_owner);
  if (owner == nullptr)
    ctx.Fail(15410, 16, 1, "User or role '" + new_owner + "' does not exist in this database.");
  const Table* clash = db.FindTable(owner->name, table->name);
  if (clash != nullptr && clash != table)
    ctx.Fail(15505, 16, 1,
             "Cannot change owner of object '" + object +
                 "' or one of its child objects because the new owner '" + owner->name +
                 "' already has an object with the same name.");
  ctx.Info(15477, "Caution: Changing any part of an object name could break scripts and stored "
                  "procedures.");
  table->owner = owner->name;
}

const ProcedureRegistration change_owner("sp_changeobjectowner",
                                         {{"@objname", true}, {"@newowner", true}},
                                         ChangeObjectOwner);

}  // namespace
}  // namespace msde
