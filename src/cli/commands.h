// The sub-commands of the quillet command. Each takes its parsed arguments (command_line.h),
// prints to standard output, reports errors on standard error as one line, and returns the process
// exit code.
#pragma once

#include "cli/command_line.h"

namespace quillet::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
// Stopped by Ctrl-C, a hang-up or SIGTERM before the work was done; nothing of it is left.
constexpr int kExitCancelled = 130;

// Title, default topic, language and code page.
int runInfo(const InfoArgs& args);

// The contents entries of the unpacked help file.
int runContents(const ContentsArgs& args);

// Unpacks into the folder, distils, and writes contents.json there with the final entries.
int runDistill(const DistillArgs& args);

// The whole conversion into a Word document; several help files go to runBatch.
int runConvert(const ConvertArgs& args);

// Several help files, each converted by a quillet convert of its own, `jobs` at a time, with a
// line per running conversion and a summary. 1 when any failed, 130 when stopped.
int runBatch(const ConvertArgs& args);

}  // namespace quillet::cli
