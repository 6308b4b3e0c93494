// The job's temporary folder, temporary file names and folder deletion. Paths are the program's
// text form ("/" separated); a folder name always ends in "/".
#pragma once

#include <string>

namespace quillet {

// The TMPDIR folder, else /tmp, always ending in "/".
std::u16string GetTempDirectory();

// Creates a new empty file ~wiXXXX.tmp (XXXX hexadecimal) in the temporary folder, exclusively,
// and returns its path. Throws std::system_error when no name is free or the folder is unwritable.
std::u16string NewTempFileName();

// GetTempDirectory() + a decimal number from 100000 to 1099998 + "/". The folder is not created.
std::u16string NewRootFolderName();

// Deletes Folder with everything in it (a trailing "/" is ignored). A folder that does not exist
// counts as deleted. False when something could not be removed.
bool DeleteFolder(const std::u16string& Folder);

}  // namespace quillet
