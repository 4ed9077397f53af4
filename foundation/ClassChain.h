#pragma once
// Class names along an object's class chain.
#include <string_view>

#include "foundation/Object.h"

namespace vandrel {

// False for no object. When the object's own class is named ClassName (exactly, case
// included) the answer is IncludeSelf; otherwise whether an ancestor class is so named.
bool IsNameOfObjectParentClass(const TObject* Object, std::string_view ClassName,
                               bool IncludeSelf);

}  // namespace vandrel
