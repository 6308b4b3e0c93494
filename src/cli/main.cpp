// The quillet command: converts a compiled HTML Help file into a Word document.

#include "cli/command_line.h"
#include "cli/commands.h"
#include "i18n/language.h"

#include <cstdio>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

int main(int argc, char** argv) {
    using namespace quillet::cli;
    quillet::i18n::useLanguage(quillet::i18n::chooseLanguage());
    const CommandLine line = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    return std::visit(
        [](const auto& what) -> int {
            using What = std::decay_t<decltype(what)>;
            if constexpr (std::is_same_v<What, ShowHelp> || std::is_same_v<What, ShowVersion>) {
                std::fputs(what.text.c_str(), stdout);
                return kExitOk;
            } else if constexpr (std::is_same_v<What, UsageError>) {
                std::fputs(what.message.c_str(), stderr);
                return kExitUsage;
            } else if constexpr (std::is_same_v<What, InfoArgs>) {
                return runInfo(what);
            } else if constexpr (std::is_same_v<What, ContentsArgs>) {
                return runContents(what);
            } else if constexpr (std::is_same_v<What, DistillArgs>) {
                return runDistill(what);
            } else {
                static_assert(std::is_same_v<What, ConvertArgs>);
                return runConvert(what);
            }
        },
        line);
}
