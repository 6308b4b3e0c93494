#include "project/system_records.h"

#include "platform/utf.h"

#include <stdexcept>

namespace quillet {

namespace {

// A cursor over the help file's bytes that fails, rather than reads past the end, when a record
// length points outside the file.
class ByteReader {
public:
    ByteReader(std::string_view bytes, const std::u16string& file) : m_bytes(bytes), m_file(file) {}

    void seek(std::int64_t pos) { m_pos = pos; }
    void skip(std::int64_t count) { m_pos += count; }
    std::uint16_t u16() {
        const std::string_view b = take(2);
        return static_cast<std::uint16_t>(static_cast<unsigned char>(b[0]) |
                                          (static_cast<unsigned char>(b[1]) << 8));
    }
    std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
    std::int64_t position() const { return m_pos; }
    std::string_view take(std::int64_t count) {
        if (count < 0) count = 0;
        if (m_pos < 0 || m_pos + count > static_cast<std::int64_t>(m_bytes.size()))
            throw std::runtime_error("cannot read " + toUtf8(m_file) +
                                     ": its system information runs past the end of the file "
                                     "at byte " +
                                     std::to_string(m_pos));
        const std::string_view b =
            m_bytes.substr(static_cast<std::size_t>(m_pos), static_cast<std::size_t>(count));
        m_pos += count;
        return b;
    }

private:
    std::string_view m_bytes;
    const std::u16string& m_file;
    std::int64_t m_pos = 0;
};

// A record's text: up to its first NUL.
std::string recordText(std::string_view data) {
    return std::string(data.substr(0, data.find('\0')));
}

// Reads records (2-byte code, 2-byte length, data) from `reader` until `end`, by their codes.
void readRecords(ByteReader& reader, std::int64_t end, SystemRecords& out) {
    while (reader.position() + 4 <= end) {
        const std::uint16_t code = reader.u16();
        const std::uint16_t length = reader.u16();
        if (reader.position() + length > end) break;
        const std::string_view data = reader.take(length);
        if (code == 2 && !out.defaultPage) out.defaultPage = recordText(data);
        if (code == 3 && !out.title) out.title = recordText(data);
        if (code == 6 && !out.compiledFile) out.compiledFile = recordText(data);
        if (code == 4 && !out.languageId && data.size() >= 2)
            out.languageId = static_cast<std::int16_t>(static_cast<unsigned char>(data[0]) |
                                                       (static_cast<unsigned char>(data[1]) << 8));
    }
}

// An encoded integer of the help file's directory: seven bits a byte, most significant first,
// the high bit set on every byte but the last.
std::optional<std::uint64_t> encodedInt(std::string_view bytes, std::size_t& pos) {
    std::uint64_t value = 0;
    for (int n = 0; n < 9 && pos < bytes.size(); ++n) {
        const auto b = static_cast<unsigned char>(bytes[pos++]);
        value = (value << 7) | (b & 0x7F);
        if ((b & 0x80) == 0) return value;
    }
    return std::nullopt;
}

std::uint64_t le64(std::string_view bytes, std::size_t pos) {
    std::uint64_t v = 0;
    for (int n = 7; n >= 0; --n)
        v = (v << 8) | static_cast<unsigned char>(bytes[pos + static_cast<std::size_t>(n)]);
    return v;
}

}  // namespace

std::optional<SystemRecords> systemFileRecords(std::string_view bytes, const std::u16string& file) {
    if (bytes.size() < 0x60 || bytes.substr(0, 4) != "ITSF") return std::nullopt;
    const auto version = static_cast<unsigned char>(bytes[4]);
    const std::uint64_t directoryOffset = le64(bytes, 0x48);
    const std::uint64_t directoryLength = le64(bytes, 0x50);
    const std::uint64_t contentOffset =
        version >= 3 ? le64(bytes, 0x58) : directoryOffset + directoryLength;
    if (directoryOffset >= bytes.size() || directoryLength > bytes.size() - directoryOffset)
        return std::nullopt;
    const std::string_view directory = bytes.substr(directoryOffset, directoryLength);
    static constexpr std::string_view kEntry("\x08/#SYSTEM", 9);
    for (std::size_t at = directory.find(kEntry); at != std::string_view::npos;
         at = directory.find(kEntry, at + 1)) {
        std::size_t pos = at + kEntry.size();
        const auto section = encodedInt(directory, pos);
        const auto offset = encodedInt(directory, pos);
        const auto length = encodedInt(directory, pos);
        if (!section || !offset || !length || *section != 0 || *length < 4) continue;
        if (contentOffset > bytes.size() || *offset > bytes.size() - contentOffset ||
            *length > bytes.size() - contentOffset - *offset)
            continue;
        ByteReader reader(bytes, file);
        const auto start = static_cast<std::int64_t>(contentOffset + *offset);
        reader.seek(start + 4);  // past the file's version
        SystemRecords records;
        readRecords(reader, start + static_cast<std::int64_t>(*length), records);
        return records;
    }
    return std::nullopt;
}

std::optional<SystemRecords> recordsAfterVersionRecord(std::string_view bytes,
                                                       const std::u16string& file) {
    ByteReader reader(bytes, file);
    for (std::size_t m = bytes.find("HHA"); m != std::string_view::npos;
         m = bytes.find("HHA", m + 1)) {
        if (m < 4) continue;
        reader.seek(static_cast<std::int64_t>(m) - 4);
        if (reader.u16() != 9) continue;
        const std::int16_t versionLength = reader.i16();
        reader.seek(static_cast<std::int64_t>(m) + versionLength);
        // Locale, default topic and title, in that order; the first record of another code
        // (a contents file, a window name, a font) ends what the scan can tell.
        SystemRecords records;
        const auto nextIs = [&](std::uint16_t code) {
            if (reader.position() + 4 > static_cast<std::int64_t>(bytes.size())) return false;
            if (reader.u16() == code) return true;
            reader.skip(-2);
            return false;
        };
        if (!nextIs(4)) return records;
        const std::int16_t localeLength = reader.i16();
        records.languageId = reader.i16();
        reader.skip(localeLength - 2);
        if (!nextIs(2)) return records;
        const std::uint16_t defaultLength = reader.u16();
        records.defaultPage = std::string(reader.take(defaultLength - 1));
        reader.skip(1);
        if (!nextIs(3)) return records;
        const std::uint16_t titleLength = reader.u16();
        records.title = std::string(reader.take(titleLength - 1));
        return records;
    }
    return std::nullopt;
}

std::optional<SystemRecords> readSystemRecords(std::string_view bytes, const std::u16string& file) {
    std::optional<SystemRecords> records;
    // The directory may name the file wrongly (a compiler that writes the header's offsets
    // otherwise): whatever the read by codes leaves unset, the scan may still find.
    try {
        if (std::optional<SystemRecords> byCode = systemFileRecords(bytes, file))
            if (byCode->defaultPage || byCode->title || byCode->languageId)
                records = std::move(byCode);
    } catch (const std::runtime_error&) {
        // A record running out of the file there: the scan decides, and fails where it must.
    }
    if (records && records->defaultPage && records->title && records->languageId) return records;
    std::optional<SystemRecords> scanned = recordsAfterVersionRecord(bytes, file);
    if (!records) return scanned;
    if (scanned) {
        if (!records->defaultPage) records->defaultPage = std::move(scanned->defaultPage);
        if (!records->title) records->title = std::move(scanned->title);
        if (!records->languageId) records->languageId = scanned->languageId;
        if (!records->compiledFile) records->compiledFile = std::move(scanned->compiledFile);
    }
    return records;
}

}  // namespace quillet
