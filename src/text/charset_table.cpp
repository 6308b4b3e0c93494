#include "text/charset_table.h"

#include "platform/ascii.h"

#include <cassert>
#include <set>

namespace quillet {

namespace {

// One text per entry, name|code page, grouped by code page. Names are unique without regard to
// letter case, so the order does not affect a lookup.
constexpr const char16_t* kCharsetEntries[] = {
    // 708
    u"ASMO-708|708",
    // 720
    u"DOS-720|720",
    // 852
    u"cp852|852",
    u"ibm852|852",
    // 862
    u"DOS-862|862",
    // 866
    u"cp866|866",
    u"ibm866|866",
    // 874
    u"DOS-874|874",
    u"iso-8859-11|874",
    u"windows-874|874",
    // 932
    u"csShiftJIS|932",
    u"csWindows31J|932",
    u"ms_Kanji|932",
    u"shift-jis|932",
    u"shift_jis|932",
    u"x-ms-cp932|932",
    u"x-sjis|932",
    // 936
    u"chinese|936",
    u"CN-GB|936",
    u"csGB2312|936",
    u"csISO58GB231280|936",
    u"GB2312|936",
    u"GBK|936",
    u"GB_2312-80|936",
    u"iso-ir-58|936",
    // 949
    u"csEUCKR|949",
    u"csKSC56011987|949",
    u"euc-kr|949",
    u"iso-ir-149|949",
    u"korean|949",
    u"KSC5601|949",
    u"KSC_5601|949",
    u"ks_c_5601|949",
    u"ks_c_5601-1987|949",
    u"ks_c_5601-1989|949",
    // 950
    u"Big5|950",
    u"csbig5|950",
    u"x-x-big5|950",
    // 1250
    u"windows-1250|1250",
    u"x-cp1250|1250",
    // 1251
    u"windows-1251|1251",
    u"x-cp1251|1251",
    // 1252
    u"ANSI_X3.4-1968|1252",
    u"ANSI_X3.4-1986|1252",
    u"ascii|1252",
    u"cp367|1252",
    u"cp819|1252",
    u"csASCII|1252",
    u"csISOLatin1|1252",
    u"IBM367|1252",
    u"ibm819|1252",
    u"iso-ir-6|1252",
    u"ISO646-US|1252",
    u"ISO_646.irv:1991|1252",
    u"l1|1252",
    u"latin1|1252",
    u"us|1252",
    u"us-ascii|1252",
    u"windows-1252|1252",
    u"x-ansi|1252",
    // 1253
    u"windows-1253|1253",
    // 1254
    u"csISOLatin5|1254",
    u"iso-8859-9|1254",
    u"iso-ir-148|1254",
    u"ISO_8859-9|1254",
    u"ISO_8859-9:1989|1254",
    u"l5|1254",
    u"latin5|1254",
    u"Windows-1254|1254",
    // 1255
    u"logical|1255",
    u"windows-1255|1255",
    // 1256
    u"cp1256|1256",
    u"windows-1256|1256",
    // 1257
    u"windows-1257|1257",
    // 1258
    u"windows-1258|1258",
    // 20866
    u"csKOI8R|20866",
    u"koi|20866",
    u"koi8-r|20866",
    // 20932
    u"euc-jp|20932",
    // 21866
    u"koi8-ru|21866",
    // 28591
    u"iso-8859-1|28591",
    u"iso-ir-100|28591",
    u"iso8859-1|28591",
    u"iso_8859-1|28591",
    u"iso_8859-1:1987|28591",
    // 28592
    u"csISOLatin2|28592",
    u"iso-8859-2|28592",
    u"iso-ir-101|28592",
    u"iso8859-2|28592",
    u"iso_8859-2|28592",
    u"iso_8859-2:1987|28592",
    u"l2|28592",
    u"latin2|28592",
    // 28593
    u"iso-8859-3|28593",
    // 28594
    u"csISOLatin4|28594",
    u"iso-8859-4|28594",
    u"iso-ir-110|28594",
    u"iso-ir-111|28594",
    u"ISO_8859-4|28594",
    u"ISO_8859-4:1988|28594",
    u"l4|28594",
    u"latin4|28594",
    // 28595
    u"csISOLatinCyrillic|28595",
    u"cyrillic|28595",
    u"iso-8859-5|28595",
    u"iso-ir-144|28595",
    u"ISO_8859-5|28595",
    u"ISO_8859-5:1988|28595",
    // 28596
    u"arabic|28596",
    u"csISOLatinArabic|28596",
    u"ECMA-114|28596",
    u"iso-8859-6|28596",
    u"iso-ir-127|28596",
    u"ISO_8859-6|28596",
    u"ISO_8859-6:1987|28596",
    // 28597
    u"csISOLatinGreek|28597",
    u"ECMA-118|28597",
    u"ELOT_928|28597",
    u"greek|28597",
    u"greek8|28597",
    u"iso-8859-7|28597",
    u"iso-ir-126|28597",
    u"ISO_8859-7|28597",
    u"ISO_8859-7:1987|28597",
    // 28598
    u"csISOLatinHebrew|28598",
    u"hebrew|28598",
    u"iso-8859-8|28598",
    u"ISO-8859-8 Visual|28598",
    u"iso-ir-138|28598",
    u"ISO_8859-8|28598",
    u"ISO_8859-8:1988|28598",
    u"visual|28598",
    // 38598
    u"iso-8859-8-i|38598",
    // 50000
    u"x-user-defined|50000",
    // 50001
    u"_autodetect_all|50001",
    // 50220
    u"iso-2022-jp|50220",
    // 50221
    u"csISO2022JP|50221",
    u"_iso-2022-jp$ESC|50221",
    // 50222
    u"_iso-2022-jp$SIO|50222",
    // 50225
    u"csISO2022KR|50225",
    u"iso-2022-kr|50225",
    // 50932
    u"_autodetect|50932",
    // 50949
    u"_autodetect_kr|50949",
    // 51932
    u"csEUCPkdFmtJapanese|51932",
    u"Extended_UNIX_Code_Packed_Format_for_Japanese|51932",
    u"x-euc|51932",
    u"x-euc-jp|51932",
    // 52936
    u"hz-gb-2312|52936",
    // 65000
    u"csUnicode11UTF7|65000",
    // 65001
    u"utf-8|65001",
};

}  // namespace

CharsetList::CharsetList() {
    for (std::u16string_view entry : kCharsetEntries) {
        const std::size_t bar = entry.find(u'|');
        const bool added =
            m_byName.emplace(lowerAscii(entry.substr(0, bar)), entry.substr(bar + 1)).second;
        assert(added && "character-set names must be unique without regard to case");
        (void)added;
    }
}

std::u16string CharsetList::lookup(std::u16string_view name) const {
    const auto it = m_byName.find(lowerAscii(name));
    return it == m_byName.end() ? std::u16string() : it->second;
}

std::vector<int> CharsetList::codePages() const {
    std::set<int> codePages;
    for (const auto& [name, codePage] : m_byName) {
        int value = 0;
        for (char16_t c : codePage) value = value * 10 + (c - u'0');
        codePages.insert(value);
    }
    return {codePages.begin(), codePages.end()};
}

const CharsetList& CharsetTable() {
    static const CharsetList table;
    return table;
}

}  // namespace quillet
