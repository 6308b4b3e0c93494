// The real help files of the corpus unpack to the same files, byte for byte, as chmlib's
// extract_chmLib gives (which also writes the help system's own data; that is left aside).

#include "hh/chm_unpacker.h"

#include "hh/unpack_test_support.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::corpusFolder;
using testing::filesUnder;
using testing::TempDir;

bool isInternal(const std::string& relative) {
    return relative.starts_with('#') || relative.starts_with('$');
}

TEST(HelpFileCorpus, UnpacksTheSameFilesAsExtractChmLib) {
    const fs::path corpus = corpusFolder();
    if (!fs::is_directory(corpus))
        GTEST_SKIP() << "no help-file corpus at '" << corpus.string()
                     << "'; set QUILLET_CORPUS to the folder of sample .chm files";
    if (std::system("command -v extract_chmLib > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "extract_chmLib is missing (Debian package libchm-bin)";

    std::vector<fs::path> helpFiles;
    for (const auto& entry : fs::directory_iterator(corpus))
        if (entry.path().extension() == ".chm") helpFiles.push_back(entry.path());
    std::sort(helpFiles.begin(), helpFiles.end());
    ASSERT_FALSE(helpFiles.empty()) << "no .chm file in " << corpus;

    for (const fs::path& helpFile : helpFiles) {
        SCOPED_TRACE(helpFile.filename().string());
        TempDir dir;
        const std::string command = "extract_chmLib '" + helpFile.string() + "' '" +
                                    (dir.path() / "theirs").string() + "' > /dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
        std::map<std::string, std::string> theirs = filesUnder(dir.path() / "theirs");
        std::erase_if(theirs, [](const auto& file) { return isInternal(file.first); });
        ASSERT_FALSE(theirs.empty());

        const UnpackResult result = unpackHelpFile(helpFile, dir.path() / "ours");
        EXPECT_TRUE(result.repairs.empty());
        EXPECT_TRUE(result.warnings.empty());
        const std::map<std::string, std::string> ours = filesUnder(dir.path() / "ours");
        EXPECT_EQ(result.fileCount, ours.size());

        for (const auto& [name, bytes] : theirs) {
            const auto it = ours.find(name);
            if (it == ours.end())
                ADD_FAILURE() << "missing: " << name;
            else if (it->second != bytes)
                ADD_FAILURE() << "different bytes: " << name;
        }
        for (const auto& [name, bytes] : ours)
            if (!theirs.contains(name)) ADD_FAILURE() << "extra: " << name;
    }
}

}  // namespace
}  // namespace quillet
