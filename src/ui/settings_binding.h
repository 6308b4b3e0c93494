// The main window's settings, each bound once in one table: its value under AppRegistryKey (name,
// type, default), what shows it in the window, and the field of the conversion settings it fills.
// Writing the defaults, reading the store into the window, writing the window into the store and
// filling a conversion's settings all walk that table. When settings are read or written, and what
// a failure then does, is the window's business.
#pragma once

#include "job/doc_settings.h"
#include "platform/settings_store.h"

#include <cstdint>
#include <string>
#include <variant>

namespace quillet::ui {

class TfrmMain;

// A stored value: a DWORD (flags are 1 or 0) or a string.
using SettingValue = std::variant<std::int32_t, std::u16string>;

// The values that showSettings reads: the store's, or the defaults laid over the store's (what the
// store would hold after writeDefaultSettings, for when it cannot be written). A missing or
// mistyped value throws SettingsError, as the store does. It refers to the store, which must
// outlive it (a temporary lives through the call it is made for).
class SettingsSource {
public:
    SettingsSource(const SettingsStore& store, bool defaults)
        : m_store(store), m_defaults(defaults) {}

    bool valueExists(const std::u16string& name) const;
    std::u16string readString(const std::u16string& name) const;
    std::int32_t readInteger(const std::u16string& name) const;

private:
    const SettingValue* fromDefaults(const std::u16string& name) const;

    const SettingsStore& m_store;
    bool m_defaults;
};

// Writes every default, in table order. The source and document file names have none.
void writeDefaultSettings(SettingsStore& store);

// Shows every value of `source` in the window, in table order. A missing text reads as empty; a
// missing number, flag or heading font, a value of the other type or a bad font specification
// throws SettingsError or NumberConversionError, with the values before it already shown. In
// `lenient` mode a mistyped file name reads as empty.
void showSettings(const SettingsSource& source, TfrmMain& window, bool lenient);

// Writes what the window shows, in table order; the heading fonts only `withFonts`.
void storeSettings(const TfrmMain& window, SettingsStore& store, bool withFonts);

// The conversion settings that the window shows. A paper list without a selection leaves
// `settings.PaperSize` as it is.
void fillSettings(const TfrmMain& window, TDocPDFSettings& settings);

}  // namespace quillet::ui
