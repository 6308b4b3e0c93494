// The sub-commands of the quillet command. Each takes its own arguments (without the command
// name), prints to standard output, reports errors on standard error as one line, and returns
// the process exit code.
#pragma once

#include <string>
#include <vector>

namespace quillet::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
// Stopped by Ctrl-C, a hang-up or SIGTERM before the work was done; nothing of it is left.
constexpr int kExitCancelled = 130;

// quillet info FILE.chm [--json]: title, default topic, language and code page.
int runInfo(const std::vector<std::string>& args);

// quillet contents FILE.chm [--json] [--max-size BYTES]: the contents entries of the unpacked
// help file.
int runContents(const std::vector<std::string>& args);

// quillet distill FILE.chm DIR [--discard] [--addenda TEXT] [--hint FORMAT] [--max-size BYTES]:
// unpacks into DIR, distils, and writes DIR/contents.json with the final entries.
int runDistill(const std::vector<std::string>& args);

// quillet convert FILE.chm [-o OUT.docx|OUT.doc] [options]: the whole conversion into a Word
// document.
int runConvert(const std::vector<std::string>& args);

}  // namespace quillet::cli
