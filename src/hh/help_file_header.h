// Reads the two headers at the front of a compiled help file (ITSF, then the directory's ITSP) to
// tell whether the file is one, whether it is complete, and which header fields its writer got
// wrong. It reads no directory entry and no stored file: libmspack does that.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillet {

// Why the headers cannot be used, in words for the user and without the file's name
// ("not a compiled help file", "the file is truncated at byte 512 of 10858").
class HelpFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Bytes to present in place of the stored ones at `offset` when libmspack reads the file.
struct HeaderPatch {
    std::uint64_t offset = 0;
    std::vector<unsigned char> bytes;
    std::string reason;  // what the stored bytes got wrong, for the caller's report
};

struct HelpFileHeader {
    std::uint64_t length = 0;           // the file length that the header records
    std::uint64_t directoryOffset = 0;  // where directory chunk 0 starts
    std::uint32_t chunkSize = 0;
    std::uint32_t chunkCount = 0;
    // Corrections of faults that Free Pascal's help compiler (chmcmd, fpdoc) writes:
    // - the ITSF header repeats its first GUID where the second belongs;
    // - the ITSP header names chunk 1 as the first listing chunk although the listing chain
    //   starts at chunk 0, so readers that trust it skip every entry of chunk 0.
    // Empty for a file written correctly.
    std::vector<HeaderPatch> patches;
};

// Reads the headers of the open file `fd` (not owned, read with pread) of `fileSize` bytes and
// walks the chain of listing chunks. Throws HelpFileError when the file does not start with an
// ITSF header, when it is shorter than its header says, or when the directory is cut short,
// lies outside the file or its listing chain leaves the directory or loops.
HelpFileHeader readHelpFileHeader(int fd, std::uint64_t fileSize);

}  // namespace quillet
