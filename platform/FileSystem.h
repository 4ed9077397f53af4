#pragma once
// File and directory checks and directory creation, on Linux paths.
#include "foundation/Exception.h"

namespace vandrel::platform {

// True when Path names an existing file (following links) that is not a directory.
bool FileExists(const AnsiString& Path);
// True when Path names an existing directory (following links).
bool DirectoryExists(const AnsiString& Path);
// Creates one directory whose parent exists. False when it fails (also when Path already
// exists); errno then tells why.
bool CreateDirectory(const AnsiString& Path);
// Creates Path and every missing directory above it. True when Path is a directory at the
// end; on false errno tells why.
bool ForceDirectories(const AnsiString& Path);
// The user's home directory: $HOME, else the password database's entry.
AnsiString HomeDirectory();

}  // namespace vandrel::platform
