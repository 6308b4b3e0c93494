// Whether another program has a file open in a way that keeps us from replacing or reading it:
// this platform's form of "opened without sharing".
#pragma once

#include <filesystem>
#include <string>

namespace quillet {

// True when the file exists and cannot be opened for reading, when another process holds an
// exclusive (write) lock on it, or when an office suite's lock file stands beside it
// (".~lock.NAME#" as LibreOffice writes it, "~$NAME" as Word writes it). False when the file
// does not exist. Opens the file once.
bool IsFileInUse(const std::u16string& FileName);

// The same judgement for `file` already open for reading as `fd`, which the caller keeps: the
// locks are probed on `fd`, so the file is not opened again.
bool isOpenFileInUse(int fd, const std::filesystem::path& file);

}  // namespace quillet
