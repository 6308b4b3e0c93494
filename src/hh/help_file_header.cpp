#include "hh/help_file_header.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <span>
#include <system_error>

namespace quillet {

namespace {

// {7C01FD10-7BAA-11D0-9E0C-00A0C922E6EC} and {7C01FD11-...}, as stored (little-endian fields).
constexpr std::array<unsigned char, 16> kItsfGuid1 = {
    0x10, 0xFD, 0x01, 0x7C, 0xAA, 0x7B, 0xD0, 0x11, 0x9E, 0x0C, 0x00, 0xA0, 0xC9, 0x22, 0xE6, 0xEC};
constexpr std::array<unsigned char, 16> kItsfGuid2 = {
    0x11, 0xFD, 0x01, 0x7C, 0xAA, 0x7B, 0xD0, 0x11, 0x9E, 0x0C, 0x00, 0xA0, 0xC9, 0x22, 0xE6, 0xEC};

// ITSF header up to and including the content offset of version 3; libmspack always reads this
// much, whatever the version.
constexpr std::size_t kItsfSize = 0x60;
constexpr std::uint64_t kItsfGuid2Offset = 0x28;
constexpr std::size_t kHeaderSection0Size = 0x18;
constexpr std::size_t kItspSize = 0x54;
constexpr std::uint64_t kItspListingRangeOffset = 0x20;
constexpr std::size_t kChunkHeaderSize = 0x14;
constexpr std::uint32_t kNoChunk = 0xFFFFFFFF;

// The limits libmspack puts on the directory; they also bound the walk over the chunks below.
constexpr std::uint32_t kMaxChunkSize = 8192;
constexpr std::uint32_t kMaxChunkCount = 100000;

// A run of bytes read front to back; every read checks that enough bytes remain.
class ByteView {
public:
    explicit ByteView(std::span<const unsigned char> bytes) : m_rest(bytes) {}

    bool skip(std::size_t n) {
        if (m_rest.size() < n) return false;
        m_rest = m_rest.subspan(n);
        return true;
    }
    bool readBytes(std::size_t n, std::span<const unsigned char>& out) {
        if (m_rest.size() < n) return false;
        out = m_rest.first(n);
        m_rest = m_rest.subspan(n);
        return true;
    }
    bool readU32(std::uint32_t& out) {
        std::span<const unsigned char> b;
        if (!readBytes(4, b)) return false;
        out = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
              static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
        return true;
    }
    bool readU64(std::uint64_t& out) {
        std::uint32_t low = 0, high = 0;
        if (!readU32(low) || !readU32(high)) return false;
        out = static_cast<std::uint64_t>(high) << 32 | low;
        return true;
    }

private:
    std::span<const unsigned char> m_rest;
};

// The four letters of a block signature.
std::span<const unsigned char, 4> asBytes(const char (&signature)[5]) {
    return std::span<const unsigned char, 4>(reinterpret_cast<const unsigned char*>(signature), 4);
}

bool equalBytes(std::span<const unsigned char> a, std::span<const unsigned char> b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size()) == 0;
}

void appendLittleEndian32(std::vector<unsigned char>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

std::string truncatedAt(std::uint64_t fileSize, const char* what) {
    return std::string(what) + " is truncated at byte " + std::to_string(fileSize);
}

class HeaderReader {
public:
    HeaderReader(int fd, std::uint64_t fileSize) : m_fd(fd), m_fileSize(fileSize) {}

    HelpFileHeader read() {
        readItsf();
        readHeaderSection0();
        readItsp();
        repairListingRange();
        return std::move(m_header);
    }

private:
    // Reads exactly out.size() bytes at `offset`; false when the file ends first.
    bool readAt(std::uint64_t offset, std::span<unsigned char> out) const {
        if (offset > m_fileSize || out.size() > m_fileSize - offset) return false;
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t got = ::pread(m_fd, out.data() + done, out.size() - done,
                                        static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0)
                throw HelpFileError("cannot read it: " + std::generic_category().message(errno));
            if (got == 0) return false;
            done += static_cast<std::size_t>(got);
        }
        return true;
    }

    void readItsf() {
        std::array<unsigned char, kItsfSize> bytes{};
        const std::size_t available =
            static_cast<std::size_t>(std::min<std::uint64_t>(m_fileSize, kItsfSize));
        readAt(0, std::span(bytes).first(available));
        ByteView view{std::span<const unsigned char>(bytes).first(available)};
        std::span<const unsigned char> signature, guid1, guid2;
        if (!view.readBytes(4, signature) || !equalBytes(signature, asBytes("ITSF")))
            throw HelpFileError("not a compiled help file");
        if (available < kItsfSize) throw HelpFileError(truncatedAt(m_fileSize, "the file header"));
        // Version, header length, an unknown field, time stamp, language; then the two GUIDs.
        if (!view.skip(5 * 4) || !view.readBytes(16, guid1) || !view.readBytes(16, guid2))
            throw HelpFileError("not a compiled help file");
        if (!equalBytes(guid1, kItsfGuid1)) throw HelpFileError("not a compiled help file");
        if (!equalBytes(guid2, kItsfGuid2)) {
            if (!equalBytes(guid2, kItsfGuid1)) throw HelpFileError("not a compiled help file");
            m_header.patches.push_back(
                {kItsfGuid2Offset, std::vector<unsigned char>(kItsfGuid2.begin(), kItsfGuid2.end()),
                 "the file header repeats its first GUID in place of the second"});
        }
        std::uint64_t section0Length = 0, section1Length = 0;
        if (!view.readU64(m_section0Offset) || !view.readU64(section0Length) ||
            !view.readU64(m_section1Offset) || !view.readU64(section1Length))
            throw HelpFileError("not a compiled help file");
    }

    // Header section 0 holds the length of the whole file.
    void readHeaderSection0() {
        std::array<unsigned char, kHeaderSection0Size> bytes{};
        if (!readAt(m_section0Offset, bytes))
            throw HelpFileError(truncatedAt(m_fileSize, "the file header"));
        ByteView view(bytes);
        if (!view.skip(8) || !view.readU64(m_header.length))
            throw HelpFileError("the file header is corrupt");
        if (m_header.length > m_fileSize)
            throw HelpFileError("the file is truncated at byte " + std::to_string(m_fileSize) +
                                " of " + std::to_string(m_header.length));
    }

    void readItsp() {
        std::array<unsigned char, kItspSize> bytes{};
        if (!readAt(m_section1Offset, bytes))
            throw HelpFileError(truncatedAt(m_fileSize, "the directory"));
        ByteView view(bytes);
        std::span<const unsigned char> signature;
        std::uint32_t indexRoot = 0;
        // "ITSP", version, header length, an unknown field, then the chunk layout.
        if (!view.readBytes(4, signature) || !equalBytes(signature, asBytes("ITSP")) ||
            !view.skip(3 * 4) || !view.readU32(m_header.chunkSize) || !view.skip(2 * 4) ||
            !view.readU32(indexRoot) || !view.readU32(m_firstListing) ||
            !view.readU32(m_lastListing) || !view.skip(4) || !view.readU32(m_header.chunkCount))
            throw HelpFileError("the directory header is corrupt");
        m_header.directoryOffset = m_section1Offset + kItspSize;
        if (m_header.chunkSize < kChunkHeaderSize + 2 || m_header.chunkSize > kMaxChunkSize ||
            m_header.chunkCount == 0 || m_header.chunkCount > kMaxChunkCount)
            throw HelpFileError("the directory header is corrupt");
        const std::uint64_t directorySize =
            static_cast<std::uint64_t>(m_header.chunkSize) * m_header.chunkCount;
        if (m_header.directoryOffset > m_fileSize ||
            directorySize > m_fileSize - m_header.directoryOffset)
            throw HelpFileError(truncatedAt(m_fileSize, "the directory"));
    }

    struct ChunkLinks {
        bool listing = false;  // a PMGL chunk, as opposed to an index (PMGI) chunk
        std::uint32_t previous = kNoChunk;
        std::uint32_t next = kNoChunk;
    };

    ChunkLinks readChunkLinks(std::uint32_t chunk) const {
        std::array<unsigned char, kChunkHeaderSize> bytes{};
        if (!readAt(
                m_header.directoryOffset + static_cast<std::uint64_t>(chunk) * m_header.chunkSize,
                bytes))
            throw HelpFileError(truncatedAt(m_fileSize, "the directory"));
        ByteView view(bytes);
        std::span<const unsigned char> signature;
        ChunkLinks links;
        // "PMGL", free space, an unknown field, previous chunk, next chunk.
        if (!view.readBytes(4, signature) || !view.skip(8) || !view.readU32(links.previous) ||
            !view.readU32(links.next))
            throw HelpFileError("the directory is corrupt");
        links.listing = equalBytes(signature, asBytes("PMGL"));
        return links;
    }

    // libmspack reads the listing chunks from the header's first to its last one, in file order.
    // The listing chain starts at the chunk without a previous one; when the header's range
    // does not cover the chunks of that chain, present the range the chain covers.
    void repairListingRange() {
        std::uint32_t head = kNoChunk;
        for (std::uint32_t chunk = 0; chunk < m_header.chunkCount && head == kNoChunk; ++chunk) {
            const ChunkLinks links = readChunkLinks(chunk);
            if (links.listing && links.previous == kNoChunk) head = chunk;
        }
        if (head == kNoChunk) return;  // nothing to go by: libmspack judges the header's range

        std::vector<bool> visited(m_header.chunkCount, false);
        std::uint32_t lowest = head, highest = head;
        for (std::uint32_t chunk = head; chunk != kNoChunk;) {
            if (chunk >= m_header.chunkCount)
                throw HelpFileError("the directory is corrupt: its listing leads to chunk " +
                                    std::to_string(chunk) + " of " +
                                    std::to_string(m_header.chunkCount));
            if (visited[chunk])
                throw HelpFileError("the directory is corrupt: its listing loops back to chunk " +
                                    std::to_string(chunk));
            visited[chunk] = true;
            const ChunkLinks links = readChunkLinks(chunk);
            if (!links.listing)
                throw HelpFileError("the directory is corrupt: its listing leads to index chunk " +
                                    std::to_string(chunk));
            lowest = std::min(lowest, chunk);
            highest = std::max(highest, chunk);
            chunk = links.next;
        }
        if (lowest == m_firstListing && highest == m_lastListing) return;
        const std::string range = " (the header gives chunks " + std::to_string(m_firstListing) +
                                  " to " + std::to_string(m_lastListing) + ", the listing covers " +
                                  std::to_string(lowest) + " to " + std::to_string(highest) + ")";
        // The first and the last listing chunk are adjacent fields.
        HeaderPatch patch{m_section1Offset + kItspListingRangeOffset,
                          {},
                          "the directory header names the wrong listing chunks" + range};
        appendLittleEndian32(patch.bytes, lowest);
        appendLittleEndian32(patch.bytes, highest);
        m_header.patches.push_back(std::move(patch));
    }

    int m_fd;
    std::uint64_t m_fileSize;
    std::uint64_t m_section0Offset = 0;  // header section 0: the file length
    std::uint64_t m_section1Offset = 0;  // header section 1: the directory (ITSP)
    std::uint32_t m_firstListing = 0;
    std::uint32_t m_lastListing = 0;
    HelpFileHeader m_header;
};

}  // namespace

HelpFileHeader readHelpFileHeader(int fd, std::uint64_t fileSize) {
    return HeaderReader(fd, fileSize).read();
}

}  // namespace quillet
