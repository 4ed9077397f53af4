#pragma once
// Registry key and value names: the registry compares them without regard to case, and a
// key path is a chain of non-empty names joined by backslashes.
#include <string>
#include <string_view>
#include <vector>

namespace vandrel::platform {

// The name in upper case, for comparison only (Polish letters included), as the registry
// compares names.
std::string FoldRegName(std::string_view Name);

// True when both names are the same name as the registry compares them.
bool SameRegName(std::string_view A, std::string_view B);

// The key path as its names, without a leading or trailing backslash. An empty path is the
// root key itself. Returns false for an empty name inside the path ("A\\B") or a line break.
bool SplitRegPath(std::string_view Path, std::vector<std::string>& Names);

// The names joined by backslashes.
std::string JoinRegPath(const std::vector<std::string>& Names);

// True when Path (split) begins with the names of Prefix (split), compared as the registry does.
bool RegPathStartsWith(const std::vector<std::string>& Path, const std::vector<std::string>& Prefix);

}  // namespace vandrel::platform
