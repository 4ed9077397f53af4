#pragma once
// Windows paths that the tool itself must use (a directory it creates), mapped onto Linux as
// Wine lays out a Windows program's drives, so that a Windows program run on this machine
// (Tovinex under Wine) finds the same directory: drive X: is $WINEPREFIX/drive_x, by default
// ~/.wine/drive_x. Backslashes become slashes; a path without a drive letter is only turned
// around that way. Windows paths that are data for another program are stored as they stand
// and never pass through here.
#include <string>

namespace vandrel::platform {

std::string LocalPathOf(const std::string& WindowsPath);

}  // namespace vandrel::platform
