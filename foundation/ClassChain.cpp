#include "foundation/ClassChain.h"

namespace vandrel {

bool IsNameOfObjectParentClass(const TObject* Object, std::string_view ClassName,
                               bool IncludeSelf) {
  if (Object == nullptr) return false;
  if (ClassName == Object->ClassName()) return IncludeSelf;
  return Object->AncestorNamed(ClassName);
}

}  // namespace vandrel
