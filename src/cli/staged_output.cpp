#include "cli/staged_output.h"

#include "platform/file_mode.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace quillet::cli {

namespace {

constexpr const char* kFolderPattern = ".~quillet-XXXXXX";

}  // namespace

StagedOutput::StagedOutput(std::filesystem::path output) : m_output(std::move(output)) {
    const std::filesystem::path parent = m_output.parent_path();
    std::error_code ec;
    std::filesystem::create_directories(parent, ec);
    if (ec) throw std::system_error(ec, "cannot write " + m_output.string());
    std::string pattern = (parent / kFolderPattern).string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::system_error(errno, std::generic_category(),
                                "cannot write " + m_output.string());
    m_folder = pattern;
    m_staged = m_folder / m_output.filename();
}

StagedOutput::~StagedOutput() {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

bool StagedOutput::written() const {
    std::error_code ec;
    return std::filesystem::is_regular_file(m_staged, ec);
}

void StagedOutput::place() {
    // A document that was private stays so.
    keepModeOf(m_output, m_staged);
    // The error number is read at once, before anything else can change it.
    if (std::rename(m_staged.c_str(), m_output.c_str()) != 0)
        throw std::system_error(errno, std::generic_category(),
                                "cannot write " + m_output.string());
}

}  // namespace quillet::cli
