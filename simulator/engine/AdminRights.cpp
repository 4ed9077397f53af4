#include "engine/AdminRights.h"

#include <algorithm>

namespace msde {

bool IsDbOwner(Context& ctx, Database& db) {
  if (ctx.IsSysadmin()) return true;
  const Login* login = ctx.CurrentLogin();
  if (login == nullptr) return false;
  if (EqualNoCase(db.owner_login, login->name)) return true;
  const DbUser* user = db.FindUserByLogin(login->name);
  return user != nullptr && std::any_of(user->roles.begin(), user->roles.end(), [](auto& r) {
           return EqualNoCase(r, "db_owner");
         });
}

}  // namespace msde
