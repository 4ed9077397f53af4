#pragma once
// Root of the classes whose names are tested at run time: every such class reports its own
// name and answers whether a name belongs to its class chain.
#include <string>
#include <string_view>

namespace vandrel {

class TObject {
 public:
  virtual ~TObject() = default;
  virtual const char* ClassName() const { return "TObject"; }
  // True when Name is the name of this object's class or of one of its ancestors.
  virtual bool ClassChainHas(std::string_view Name) const { return Name == "TObject"; }
  // True when Name is the name of an ancestor class (not of the object's own class).
  virtual bool AncestorNamed(std::string_view /*Name*/) const { return false; }
};

}  // namespace vandrel

// Declares the run-time class name of Class, whose direct base is Parent.
#define VANDREL_CLASS(Class, Parent)                                                  \
 public:                                                                             \
  const char* ClassName() const override { return #Class; }                          \
  bool ClassChainHas(std::string_view Name) const override {                         \
    return Name == #Class || Parent::ClassChainHas(Name);                            \
  }                                                                                  \
  bool AncestorNamed(std::string_view Name) const override {                         \
    return Parent::ClassChainHas(Name);                                              \
  }                                                                                  \
                                                                                     \
 private:
