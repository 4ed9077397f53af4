#include <gtest/gtest.h>

#include "foundation/ClassChain.h"
#include "foundation/Exception.h"

using namespace vandrel;

namespace {
class EChainTestError : public EAbort {
  VANDREL_CLASS(EChainTestError, EAbort)
};
}  // namespace

TEST(ClassChain, OwnClassAnsweredByIncludeSelfAncestorsAlwaysFound) {
  EChainTestError Error;
  EXPECT_TRUE(IsNameOfObjectParentClass(&Error, "EChainTestError", true));
  EXPECT_FALSE(IsNameOfObjectParentClass(&Error, "EChainTestError", false));
  for (const char* Ancestor : {"EAbort", "Exception", "TObject"}) {
    EXPECT_TRUE(IsNameOfObjectParentClass(&Error, Ancestor, false)) << Ancestor;
    EXPECT_TRUE(IsNameOfObjectParentClass(&Error, Ancestor, true)) << Ancestor;
  }
  EXPECT_FALSE(IsNameOfObjectParentClass(&Error, "exception", true));  // case counts
  EXPECT_FALSE(IsNameOfObjectParentClass(&Error, "EMException", true));
  EXPECT_FALSE(IsNameOfObjectParentClass(nullptr, "TObject", true));
  TObject Root;
  EXPECT_TRUE(IsNameOfObjectParentClass(&Root, "TObject", true));
  EXPECT_FALSE(IsNameOfObjectParentClass(&Root, "TObject", false));
}
