#include "platform/settings_store.h"

#include "platform/ascii.h"
#include "platform/utf.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace quillet {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kRoot = "HKEY_CURRENT_USER\\";

// "\Software\X\" and "Software\X" name the same key.
std::u16string normalizeKey(const std::u16string& key) {
    std::size_t begin = 0, end = key.size();
    while (begin < end && key[begin] == u'\\') ++begin;
    while (end > begin && key[end - 1] == u'\\') --end;
    return key.substr(begin, end - begin);
}

std::string quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + '"';
}

bool hasControlCharacter(std::u16string_view text) {
    for (char16_t c : text)
        if (c < 0x20 || c == 0x7F) return true;
    return false;
}

// hex(1): the value's UTF-16LE bytes with the terminating NUL, as regedit writes strings that a
// quoted form cannot hold (line breaks and other control characters).
std::string hexString(std::u16string_view text) {
    std::string out = "hex(1):";
    char buf[8];
    auto add = [&](unsigned byte) {
        if (out.size() > 7) out += ',';
        std::snprintf(buf, sizeof buf, "%02x", byte);
        out += buf;
    };
    for (char16_t c : text) {
        add(c & 0xFFu);
        add(static_cast<unsigned>(c) >> 8);
    }
    add(0);
    add(0);
    return out;
}

// Reads `"text"` with \\ and \" escapes from the start of `s`; returns the end offset or npos.
std::size_t readQuoted(std::string_view s, std::size_t pos, std::string& out) {
    if (pos >= s.size() || s[pos] != '"') return std::string_view::npos;
    for (++pos; pos < s.size(); ++pos) {
        if (s[pos] == '\\' && pos + 1 < s.size()) {
            out += s[++pos];
        } else if (s[pos] == '"') {
            return pos + 1;
        } else {
            out += s[pos];
        }
    }
    return std::string_view::npos;
}

bool parseHexString(std::string_view hex, std::u16string& out) {
    std::vector<unsigned> bytes;
    std::size_t pos = 0;
    while (pos < hex.size()) {
        while (pos < hex.size() && (hex[pos] == ',' || hex[pos] == ' ' || hex[pos] == '\t')) ++pos;
        if (pos >= hex.size()) break;
        if (pos + 2 > hex.size()) return false;
        char* end = nullptr;
        const std::string two(hex.substr(pos, 2));
        const unsigned long byte = std::strtoul(two.c_str(), &end, 16);
        if (end != two.c_str() + 2) return false;
        bytes.push_back(static_cast<unsigned>(byte));
        pos += 2;
    }
    if (bytes.size() % 2 != 0) return false;
    out.clear();
    for (std::size_t i = 0; i < bytes.size(); i += 2)
        out += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    // Without its terminating NUL the value was cut short (a file truncated in a continuation
    // line): a part of a string must not pass for the whole.
    if (out.empty() || out.back() != u'\0') return false;
    while (!out.empty() && out.back() == u'\0') out.pop_back();
    return true;
}

std::string describe(const std::u16string& key, const std::u16string& name) {
    return "setting \"" + toUtf8(name) + "\" under \\" + toUtf8(key);
}

}  // namespace

bool SettingsStore::CaseInsensitiveLess::operator()(const std::u16string& a,
                                                    const std::u16string& b) const {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t x = lowerAscii(a[i]), y = lowerAscii(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

std::filesystem::path SettingsStore::defaultFile() {
    if (const char* dir = std::getenv("QUILLET_CONFIG_DIR"); dir != nullptr && *dir != '\0')
        return std::filesystem::path(dir) / "settings.reg";
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        base = std::filesystem::path(home) / ".config";
    else
        base = std::filesystem::temp_directory_path();
    return base / "quillet" / "settings.reg";
}

SettingsStore::SettingsStore(std::filesystem::path file) : m_file(std::move(file)) {
    load();
}

void SettingsStore::load() {
    // Looked at before it is opened: opening a FIFO would block, and a device or a huge file
    // would be read without end.
    struct stat status {};
    if (::stat(m_file.c_str(), &status) != 0) return;
    if (!S_ISREG(status.st_mode)) {
        m_refusal = m_file.string() + " is not a regular file";
        return;
    }
    if (static_cast<std::uint64_t>(status.st_size) > kMaxFileBytes) {
        m_refusal = m_file.string() + " is larger than " + std::to_string(kMaxFileBytes >> 20) +
                    " MiB, more than settings ever take";
        return;
    }
    std::ifstream in(m_file, std::ios::binary);
    if (!in) return;
    Values* current = nullptr;
    std::string line, logical;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // A hex value may continue on the next line after a trailing backslash.
        if (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos) {
            logical += line.substr(0, line.size() - 1);
            continue;
        }
        logical += line;
        std::string_view l = logical;
        while (!l.empty() && (l.front() == ' ' || l.front() == '\t')) l.remove_prefix(1);
        if (l.empty() || l.front() == ';' || l == kHeader) {
            logical.clear();
            continue;
        }
        if (l.front() == '[' && l.back() == ']') {
            std::string_view key = l.substr(1, l.size() - 2);
            current = nullptr;
            // Only the current user's root is kept; keys under other roots are skipped.
            if (key.starts_with(kRoot) || key == kRoot.substr(0, kRoot.size() - 1)) {
                key.remove_prefix(std::min(key.size(), kRoot.size()));
                current = &m_keys[normalizeKey(fromUtf8(key))];
            }
            logical.clear();
            continue;
        }
        std::string name;
        const std::size_t afterName = readQuoted(l, 0, name);
        if (current != nullptr && afterName != std::string_view::npos && afterName < l.size() &&
            l[afterName] == '=') {
            std::string_view data = l.substr(afterName + 1);
            std::string text;
            std::u16string wide;
            if (readQuoted(data, 0, text) == data.size()) {
                (*current)[fromUtf8(name)] = fromUtf8(text);
            } else if (data.starts_with("dword:") && data.size() == 14) {
                char* end = nullptr;
                const std::string digits(data.substr(6));
                const unsigned long v = std::strtoul(digits.c_str(), &end, 16);
                if (end == digits.c_str() + digits.size())
                    (*current)[fromUtf8(name)] = static_cast<std::uint32_t>(v);
            } else if (data.starts_with("hex(1):") && parseHexString(data.substr(7), wide)) {
                (*current)[fromUtf8(name)] = wide;
            }
        }
        logical.clear();
    }
}

void SettingsStore::save(const Keys& keys) const {
    if (!m_refusal.empty()) throw SettingsError(m_refusal + "; it is left as it is");
    std::ostringstream out;
    out << kHeader << "\n";
    for (const auto& [key, values] : keys) {
        out << "\n[" << kRoot << toUtf8(key) << "]\n";
        for (const auto& [name, value] : values) {
            out << quote(toUtf8(name)) << '=';
            if (const auto* text = std::get_if<std::u16string>(&value)) {
                out << (hasControlCharacter(*text) ? hexString(*text) : quote(toUtf8(*text)));
            } else {
                char buf[16];
                std::snprintf(buf, sizeof buf, "dword:%08x", std::get<std::uint32_t>(value));
                out << buf;
            }
            out << '\n';
        }
    }
    const std::string content = out.str();

    const auto fail = [&](const std::string& what) {
        throw SettingsError("cannot save settings to " + m_file.string() + ": " + what);
    };
    std::error_code ec;
    if (m_file.has_parent_path()) std::filesystem::create_directories(m_file.parent_path(), ec);
    if (ec) fail(ec.message());
    std::string tmp = m_file.string() + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) fail(std::strerror(errno));
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            ::unlink(tmp.c_str());
            fail(std::strerror(err));
        }
        written += static_cast<std::size_t>(n);
    }
    ::fchmod(fd, 0600);
    if (::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(tmp.c_str(), m_file.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        fail(std::strerror(err));
    }
}

const SettingsStore::Value* SettingsStore::find(const std::u16string& key,
                                                const std::u16string& name) const {
    const auto k = m_keys.find(normalizeKey(key));
    if (k == m_keys.end()) return nullptr;
    const auto v = k->second.find(name);
    return v == k->second.end() ? nullptr : &v->second;
}

bool SettingsStore::keyExists(const std::u16string& key) const {
    return m_keys.contains(normalizeKey(key));
}

bool SettingsStore::valueExists(const std::u16string& key, const std::u16string& name) const {
    return find(key, name) != nullptr;
}

std::u16string SettingsStore::readString(const std::u16string& key,
                                         const std::u16string& name) const {
    const Value* v = find(key, name);
    if (v == nullptr) throw SettingsError(describe(key, name) + " is missing");
    const auto* text = std::get_if<std::u16string>(v);
    if (text == nullptr) throw SettingsError(describe(key, name) + " is not a string");
    return *text;
}

std::uint32_t SettingsStore::readDword(const std::u16string& key,
                                       const std::u16string& name) const {
    const Value* v = find(key, name);
    if (v == nullptr) throw SettingsError(describe(key, name) + " is missing");
    const auto* number = std::get_if<std::uint32_t>(v);
    if (number == nullptr) throw SettingsError(describe(key, name) + " is not a DWORD");
    return *number;
}

std::int32_t SettingsStore::readInteger(const std::u16string& key,
                                        const std::u16string& name) const {
    return static_cast<std::int32_t>(readDword(key, name));
}

bool SettingsStore::readBool(const std::u16string& key, const std::u16string& name) const {
    return readDword(key, name) != 0;
}

void SettingsStore::write(const std::u16string& key, const std::u16string& name, Value value) {
    Keys next = m_keys;
    next[normalizeKey(key)][name] = std::move(value);
    save(next);
    m_keys = std::move(next);
}

void SettingsStore::writeString(const std::u16string& key, const std::u16string& name,
                                const std::u16string& value) {
    write(key, name, value);
}

void SettingsStore::writeDword(const std::u16string& key, const std::u16string& name,
                               std::uint32_t value) {
    write(key, name, value);
}

void SettingsStore::writeInteger(const std::u16string& key, const std::u16string& name,
                                 std::int32_t value) {
    write(key, name, static_cast<std::uint32_t>(value));
}

void SettingsStore::writeBool(const std::u16string& key, const std::u16string& name, bool value) {
    write(key, name, static_cast<std::uint32_t>(value ? 1 : 0));
}

}  // namespace quillet
