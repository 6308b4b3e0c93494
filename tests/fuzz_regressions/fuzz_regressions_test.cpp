// Every input a fuzzer found a fault with, fed again through its target: each folder here is
// named after a target and holds the inputs as the fuzzer wrote them. A fault that comes back
// ends this test program (a sanitizer report or an abort) rather than failing one expectation.
#include "fuzz/targets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quillet::fuzz {
namespace {

const std::filesystem::path kFolder = QUILLET_FUZZ_REGRESSIONS;

std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::filesystem::path> sorted(std::filesystem::directory_iterator it) {
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : it) paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    return paths;
}

int run(Target target, std::string_view bytes) {
    return target(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

TEST(FuzzRegressions, EveryFoundInputIsHandled) {
    int replayed = 0;
    for (const std::filesystem::path& folder :
         sorted(std::filesystem::directory_iterator(kFolder))) {
        if (!std::filesystem::is_directory(folder)) continue;
        const std::string name = folder.filename().string();
        const Target target = targetNamed(name);
        ASSERT_NE(target, nullptr) << "no fuzz target named " << name;
        for (const std::filesystem::path& input :
             sorted(std::filesystem::directory_iterator(folder))) {
            if (input.filename() == ".gitkeep") continue;
            SCOPED_TRACE(name + "/" + input.filename().string());
            EXPECT_EQ(run(target, readBytes(input)), 0);
            ++replayed;
        }
    }
    RecordProperty("replayed", replayed);
}

// The edges every target must take without a fault: no input at all, and one byte.
TEST(FuzzRegressions, EmptyAndOneByteInputs) {
    for (std::string_view name : {"system_records", "help_file", "contents", "html_text",
                                  "topic_page", "web_page", "web_archive", "docx"}) {
        SCOPED_TRACE(name);
        const Target target = targetNamed(name);
        ASSERT_NE(target, nullptr);
        EXPECT_EQ(run(target, ""), 0);
        EXPECT_EQ(run(target, std::string_view("\0", 1)), 0);
        EXPECT_EQ(run(target, "<"), 0);
    }
}

}  // namespace
}  // namespace quillet::fuzz
