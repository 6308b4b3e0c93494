// The fixed language table: a Windows language identifier ("0x0804") to its display name, code
// page and locale tag. Built once on first use and only read afterwards, from any thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

struct TLanguage {
    std::u16string Name;        // shown in the main window's language list
    std::u16string Id;          // "0x" and four upper-case hexadecimal digits
    int CodePage = 0;           // Windows code page of texts in that language
    std::u16string Dictionary;  // locale tag such as en_US
};

class TLanguages {
public:
    // Builds the 122 rows from their "Id;Name;CodePage;Dictionary" texts, in table order.
    TLanguages();

    int GetCount() const { return static_cast<int>(Languages.size()); }
    // The row at index i, 0-based; i must be in 0..GetCount()-1.
    const TLanguage& GetItem(int i) const;

    // Identifiers compare as whole texts without regard to ASCII letter case; nothing else is
    // normalised ("0436" and "0x436" find no row). Each answers for the first matching row.
    int GetCodepageById(std::u16string_view Id) const;               // 0 when none
    int GetIndexById(std::u16string_view Id) const;                  // -1 when none
    std::u16string GetNameById(std::u16string_view Id) const;        // empty when none
    std::u16string GetDictionaryById(std::u16string_view Id) const;  // empty when none

    // Appends every row's Name, in table order.
    void NameToStringLists(std::vector<std::u16string>& List) const;

    std::vector<std::unique_ptr<TLanguage>> Languages;
};

// The process-wide language table.
const TLanguages& LanguageTable();

}  // namespace quillet
