// Whether another program has a file open in a way that keeps us from replacing or reading it:
// this platform's form of "opened without sharing".
#pragma once

#include <string>

namespace quillet {

// True when the file exists and cannot be opened for reading, when another process holds an
// exclusive (write) lock on it, or when an office suite's lock file stands beside it
// (".~lock.NAME#" as LibreOffice writes it, "~$NAME" as Word writes it). False when the file
// does not exist.
bool IsFileInUse(const std::u16string& FileName);

}  // namespace quillet
