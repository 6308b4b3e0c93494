#include "text/language_table.h"

#include <cassert>

namespace quillet {

namespace {

// One text per row, Id;Name;CodePage;Dictionary, in the order of the main window's list.
constexpr const char16_t* kLanguageRows[] = {
    u"0x0436;Afrikaans;1252;en_US",                     // 0
    u"0x041C;Albanian;1250;en_US",                      // 1
    u"0x0001;Arabic;1256;en_US",                        // 2
    u"0x0401;Arabic (Saudi Arabia);1256;en_US",         // 3
    u"0x0801;Arabic (Iraq);1256;en_US",                 // 4
    u"0x0C01;Arabic (Egypt);1256;en_US",                // 5
    u"0x1001;Arabic (Libya);1256;en_US",                // 6
    u"0x1401;Arabic (Algeria);1256;en_US",              // 7
    u"0x1801;Arabic (Morocco);1256;en_US",              // 8
    u"0x1C01;Arabic (Tunisia);1256;en_US",              // 9
    u"0x2001;Arabic (Oman);1256;en_US",                 // 10
    u"0x2401;Arabic (Yemen);1256;en_US",                // 11
    u"0x2801;Arabic (Syria);1256;en_US",                // 12
    u"0x2C01;Arabic (Jordan);1256;en_US",               // 13
    u"0x3001;Arabic (Lebanon);1256;en_US",              // 14
    u"0x3401;Arabic (Kuwait);1256;en_US",               // 15
    u"0x3801;Arabic (U.A.E.);1256;en_US",               // 16
    u"0x3C01;Arabic (Bahrain);1256;en_US",              // 17
    u"0x4001;Arabic (Qatar);1256;en_US",                // 18
    u"0x042D;Basque;1252;en_US",                        // 19
    u"0x0402;Bulgarian;1251;en_US",                     // 20
    u"0x0423;Belarusian;1251;en_US",                    // 21
    u"0x0403;Catalan;1252;en_US",                       // 22
    u"0x0004;Chinese;936;en_US",                        // 23
    u"0x0404;Chinese (Taiwan);950;en_US",               // 24
    u"0x0804;Chinese (China);936;en_US",                // 25
    u"0x0C04;Chinese (Hong Kong SAR);950;en_US",        // 26
    u"0x1004;Chinese (Singapore);936;en_US",            // 27
    u"0x041A;Croatian;1250;en_US",                      // 28
    u"0x0405;Czech;1250;en_US",                         // 29
    u"0x0406;Danish;1252;en_US",                        // 30
    u"0x0413;Dutch (Netherlands);1252;en_US",           // 31
    u"0x0813;Dutch (Belgium);1252;en_US",               // 32
    u"0x0009;English;1252;en_US",                       // 33
    u"0x0409;English (United States);1252;en_US",       // 34
    u"0x0809;English (United Kingdom);1252;en_GB",      // 35
    u"0x0C09;English (Australia);1252;en_US",           // 36
    u"0x1009;English (Canada);1252;en_US",              // 37
    u"0x1409;English (New Zealand);1252;en_US",         // 38
    u"0x1809;English (Ireland);1252;en_US",             // 39
    u"0x1C09;English (South Africa);1252;en_US",        // 40
    u"0x2009;English (Jamaica);1252;en_US",             // 41
    u"0x2809;English (Belize);1252;en_US",              // 42
    u"0x2C09;English (Trinidad);1252;en_US",            // 43
    u"0x0425;Estonian;1257;en_US",                      // 44
    u"0x0438;Faeroese;1252;en_US",                      // 45
    u"0x0429;Farsi;1256;en_US",                         // 46
    u"0x040B;Finnish;1252;en_US",                       // 47
    u"0x040C;French (France);1252;fr_FR",               // 48
    u"0x080C;French (Belgium);1252;fr_FR",              // 49
    u"0x0C0C;French (Canada);1252;fr_FR",               // 50
    u"0x100C;French (Switzerland);1252;fr_FR",          // 51
    u"0x140C;French (Luxembourg);1252;fr_FR",           // 52
    u"0x043C;Gaelic;1252;en_US",                        // 53
    u"0x0407;German (Germany);1252;de_DE",              // 54
    u"0x0807;German (Switzerland);1252;de_DE",          // 55
    u"0x0C07;German (Austria);1252;de_DE",              // 56
    u"0x1007;German (Luxembourg);1252;de_DE",           // 57
    u"0x1407;German (Liechtenstein);1252;de_DE",        // 58
    u"0x0408;Greek;1253;en_US",                         // 59
    u"0x040D;Hebrew;1255;en_US",                        // 60
    u"0x040E;Hungarian;1250;en_US",                     // 61
    u"0x040F;Icelandic;1252;en_US",                     // 62
    u"0x0421;Indonesian;1252;en_US",                    // 63
    u"0x0410;Italian (Italy);1252;it_IT",               // 64
    u"0x0810;Italian (Switzerland);1252;it_IT",         // 65
    u"0x0411;Japanese;932;en_US",                       // 66
    u"0x0412;Korean;949;en_US",                         // 67
    u"0x0426;Latvian;1257;en_US",                       // 68
    u"0x0427;Lithuanian;1257;en_US",                    // 69
    u"0x042F;FYRO Macedonian;1251;en_US",               // 70
    u"0x043E;Malay (Malaysia);1252;en_US",              // 71
    u"0x043A;Maltese;1254;en_US",                       // 72
    u"0x0450;Mongolian (Cyrillic);1251;en_US",          // 73
    u"0x0414;Norwegian (Bokmal);1252;en_US",            // 74
    u"0x0814;Norwegian (Nynorsk);1252;en_US",           // 75
    u"0x0415;Polish;1250;en_US",                        // 76
    u"0x0416;Portuguese (Brazil);1252;pt_PT",           // 77
    u"0x0816;Portuguese (Portugal);1252;pt_PT",         // 78
    u"0x0417;Rhaeto-Romanic;1252;en_US",                // 79
    u"0x0418;Romanian;1250;en_US",                      // 80
    u"0x0818;Romanian (Moldova);1250;en_US",            // 81
    u"0x0419;Russian;1251;ru_RU",                       // 82
    u"0x0819;Russian (Moldova);1251;ru_RU",             // 83
    u"0x0C1A;Serbian (Cyrillic);1251;en_US",            // 84
    u"0x081A;Serbian (Latin);1252;en_US",               // 85
    u"0x041B;Slovak;1250;en_US",                        // 86
    u"0x0424;Slovenian;1250;en_US",                     // 87
    u"0x042E;Sorbian;1252;en_US",                       // 88
    u"0x040A;Spanish (Traditional Sort);1252;es_ES",    // 89
    u"0x080A;Spanish (Mexico);1252;es_ES",              // 90
    u"0x0C0A;Spanish (International Sort);1252;es_ES",  // 91
    u"0x100A;Spanish (Guatemala);1252;es_ES",           // 92
    u"0x140A;Spanish (Costa Rica);1252;es_ES",          // 93
    u"0x180A;Spanish (Panama);1252;es_ES",              // 94
    u"0x1C0A;Spanish (Dominican Republic);1252;es_ES",  // 95
    u"0x200A;Spanish (Venezuela);1252;es_ES",           // 96
    u"0x240A;Spanish (Colombia);1252;es_ES",            // 97
    u"0x280A;Spanish (Peru);1252;es_ES",                // 98
    u"0x2C0A;Spanish (Argentina);1252;es_ES",           // 99
    u"0x300A;Spanish (Ecuador);1252;es_ES",             // 100
    u"0x340A;Spanish (Chile);1252;es_ES",               // 101
    u"0x380A;Spanish (Uruguay);1252;es_ES",             // 102
    u"0x3C0A;Spanish (Paraguay);1252;es_ES",            // 103
    u"0x400A;Spanish (Bolivia);1252;es_ES",             // 104
    u"0x440A;Spanish (El Salvador);1252;es_ES",         // 105
    u"0x480A;Spanish (Honduras);1252;es_ES",            // 106
    u"0x4C0A;Spanish (Nicaragua);1252;es_ES",           // 107
    u"0x500A;Spanish (Puerto Rico);1252;es_ES",         // 108
    u"0x0430;Sutu;1252;en_US",                          // 109
    u"0x041D;Swedish;1252;en_US",                       // 110
    u"0x081D;Swedish (Finland);1252;en_US",             // 111
    u"0x041E;Thai;874;en_US",                           // 112
    u"0x0431;Tsonga;1252;en_US",                        // 113
    u"0x0432;Tswana;1252;en_US",                        // 114
    u"0x041F;Turkish;1254;en_US",                       // 115
    u"0x0422;Ukrainian;1251;en_US",                     // 116
    u"0x0420;Urdu;1256;en_US",                          // 117
    u"0x042A;Vietnamese;1258;en_US",                    // 118
    u"0x0434;Xhosa;1252;en_US",                         // 119
    u"0x043D;Yiddish;1252;en_US",                       // 120
    u"0x0435;Zulu;1252;en_US",                          // 121
};

bool isTrimmed(char16_t c) {
    return c <= u' ';
}

std::u16string trim(std::u16string_view s) {
    while (!s.empty() && isTrimmed(s.front())) s.remove_prefix(1);
    while (!s.empty() && isTrimmed(s.back())) s.remove_suffix(1);
    return std::u16string(s);
}

bool sameText(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'a' && x <= u'z') x -= u'a' - u'A';
        if (y >= u'a' && y <= u'z') y -= u'a' - u'A';
        if (x != y) return false;
    }
    return true;
}

int parseDecimal(std::u16string_view s) {
    int value = 0;
    for (char16_t c : s) {
        assert(c >= u'0' && c <= u'9' && "code page in the language table is not a number");
        value = value * 10 + (c - u'0');
    }
    return value;
}

}  // namespace

TLanguages::TLanguages() {
    for (std::u16string_view row : kLanguageRows) {
        // At most four fields: the fourth is everything after the third semicolon.
        std::u16string_view fields[4];
        for (int f = 0; f < 3; ++f) {
            const std::size_t semi = row.find(u';');
            fields[f] = row.substr(0, semi);
            row = semi == std::u16string_view::npos ? std::u16string_view() : row.substr(semi + 1);
        }
        fields[3] = row;
        auto language = std::make_unique<TLanguage>();
        language->Id = trim(fields[0]);
        language->Name = trim(fields[1]);
        language->CodePage = parseDecimal(trim(fields[2]));
        language->Dictionary = trim(fields[3]);
        Languages.push_back(std::move(language));
    }
}

const TLanguage& TLanguages::GetItem(int i) const {
    assert(i >= 0 && i < GetCount() && "language index out of range");
    return *Languages[static_cast<std::size_t>(i)];
}

int TLanguages::GetIndexById(std::u16string_view Id) const {
    for (std::size_t i = 0; i < Languages.size(); ++i)
        if (sameText(Languages[i]->Id, Id)) return static_cast<int>(i);
    return -1;
}

int TLanguages::GetCodepageById(std::u16string_view Id) const {
    const int i = GetIndexById(Id);
    return i < 0 ? 0 : GetItem(i).CodePage;
}

std::u16string TLanguages::GetNameById(std::u16string_view Id) const {
    const int i = GetIndexById(Id);
    return i < 0 ? std::u16string() : GetItem(i).Name;
}

std::u16string TLanguages::GetDictionaryById(std::u16string_view Id) const {
    const int i = GetIndexById(Id);
    return i < 0 ? std::u16string() : GetItem(i).Dictionary;
}

void TLanguages::NameToStringLists(std::vector<std::u16string>& List) const {
    for (const auto& language : Languages) List.push_back(language->Name);
}

const TLanguages& LanguageTable() {
    static const TLanguages table;
    return table;
}

}  // namespace quillet
