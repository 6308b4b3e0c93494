// A typed settings store standing in for the per-user registry: keys holding string and DWORD
// values, kept in a human-readable file in the Windows .reg text form. It does not watch the file
// for changes made by another process while it is open.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <variant>

namespace quillet {

// Reading a missing value, or a value of the other type, fails with this; so does a failed save.
class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SettingsStore {
public:
    // The settings file of this user: $QUILLET_CONFIG_DIR/settings.reg when that is set, else
    // $XDG_CONFIG_HOME/quillet/settings.reg, else ~/.config/quillet/settings.reg.
    static std::filesystem::path defaultFile();

    // Opens the store kept in `file`. A missing file is an empty store; lines that cannot be
    // read are skipped, so their values count as missing. A file that is no regular file (a
    // FIFO, a device) or is larger than kMaxFileBytes is not read: the store is empty, and
    // writing to it fails, leaving the file as it is.
    explicit SettingsStore(std::filesystem::path file = defaultFile());
    static constexpr std::uint64_t kMaxFileBytes = std::uint64_t{1} << 20;

    const std::filesystem::path& file() const { return m_file; }

    // Keys are paths such as "\Software\Zandrel\Quillet" under the current user's root; a leading
    // backslash is optional. Keys and value names compare without regard to ASCII letter case.
    bool keyExists(const std::u16string& key) const;
    bool valueExists(const std::u16string& key, const std::u16string& name) const;

    // Throw SettingsError when the value is missing or holds the other type.
    std::u16string readString(const std::u16string& key, const std::u16string& name) const;
    std::uint32_t readDword(const std::u16string& key, const std::u16string& name) const;
    // A DWORD read as a signed integer, and a DWORD read as a Boolean (non-zero is true).
    std::int32_t readInteger(const std::u16string& key, const std::u16string& name) const;
    bool readBool(const std::u16string& key, const std::u16string& name) const;

    // Each write creates the key when missing and saves the whole file at once: it is written to a
    // temporary file beside it and renamed over it, so the file is never half-written.
    // Throws SettingsError when the file cannot be written; the value is then not stored.
    void writeString(const std::u16string& key, const std::u16string& name,
                     const std::u16string& value);
    void writeDword(const std::u16string& key, const std::u16string& name, std::uint32_t value);
    void writeInteger(const std::u16string& key, const std::u16string& name, std::int32_t value);
    void writeBool(const std::u16string& key, const std::u16string& name, bool value);

private:
    using Value = std::variant<std::u16string, std::uint32_t>;
    struct CaseInsensitiveLess {
        bool operator()(const std::u16string& a, const std::u16string& b) const;
    };
    using Values = std::map<std::u16string, Value, CaseInsensitiveLess>;
    using Keys = std::map<std::u16string, Values, CaseInsensitiveLess>;

    const Value* find(const std::u16string& key, const std::u16string& name) const;
    void write(const std::u16string& key, const std::u16string& name, Value value);
    void load();
    void save(const Keys& keys) const;

    std::filesystem::path m_file;
    Keys m_keys;
    std::string m_refusal;  // why the file was not read, when it was not
};

}  // namespace quillet
