#pragma once
// Writing a schedule's files: each file is written whole into a new file beside it, created
// with its final permissions, and renamed over the old one, so that nobody ever reads half a
// unit, and a password file is never readable by others, not even for a moment.
#include <string>

namespace vandrel::app::admin {

// Writes Text into Path with permissions Mode (0600 for a password); the failure in the
// user's words, empty when written.
std::string WriteWholeFile(const std::string& Path, const std::string& Text, unsigned Mode);
// The whole of Path; false when it cannot be read (a missing file among them).
bool ReadWholeFile(const std::string& Path, std::string& Text);
// Removes Path; a missing file is no failure. The failure, or empty.
std::string RemoveFile(const std::string& Path);

}  // namespace vandrel::app::admin
