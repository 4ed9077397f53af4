#pragma once
// What sp_addlogin and CREATE LOGIN share: a new login's sid, and the refusal of a sid given
// that another login has.
#include <string>

#include "engine/Statements.h"

namespace msde {

// A sid that differs from every sid the server already has.
std::string NewSid(const Model& model, const std::string& name);
// 15419 unless `sid` is 16 bytes, 15433 when a login has it.
void CheckGivenSid(Context& ctx, const std::string& sid);

}  // namespace msde
