// The document of one conversion, written beside the output under a folder of its own and put in
// place by one rename once whole: a failure or a cancel leaves the old document as it was, and
// two conversions to one output never share a temporary file. It does not check whether another
// program has the output open.
#pragma once

#include <filesystem>

namespace quillet::cli {

class StagedOutput {
public:
    // Makes a hidden folder of a new name (".~quillet-" and six characters) in the output's
    // folder, which is created when missing. Throws std::system_error naming the output when it
    // cannot.
    explicit StagedOutput(std::filesystem::path output);
    // Removes the folder with everything in it.
    ~StagedOutput();
    StagedOutput(const StagedOutput&) = delete;
    StagedOutput& operator=(const StagedOutput&) = delete;

    // Where the conversion writes: a file of the output's name inside the hidden folder.
    const std::filesystem::path& path() const { return m_staged; }

    // Whether a document was written there.
    bool written() const;

    // Renames the document over the output, in one step. Throws std::system_error naming the
    // output, with the rename's own cause, when it cannot; the old output then stays.
    void place();

private:
    std::filesystem::path m_output;
    std::filesystem::path m_folder;
    std::filesystem::path m_staged;
};

}  // namespace quillet::cli
