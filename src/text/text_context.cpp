#include "text/text_context.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <string>

namespace quillet {

namespace {

thread_local TextContext t_context;

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// A whole decimal number in 1..65535, else 0.
int parseCodePage(std::string_view text) {
    if (text.empty() || text.size() > 5) return 0;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
    }
    return value <= 65535 ? value : 0;
}

// The character set of the user's locale without touching the process's own locale. When the
// locale is not installed, its name ("zh_CN.GBK") still tells the character set.
std::string localeCharset() {
    if (locale_t loc = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr))) {
        std::string codeset = ::nl_langinfo_l(CODESET, loc);
        ::freelocale(loc);
        if (codeset != "ANSI_X3.4-1968") return codeset;  // the C locale says nothing
    }
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || *value == '\0') continue;
        std::string_view locale = value;
        const std::size_t dot = locale.find('.');
        if (dot == std::string_view::npos) return {};
        locale.remove_prefix(dot + 1);
        return std::string(locale.substr(0, locale.find('@')));
    }
    return {};
}

}  // namespace

ScopedTextContext::ScopedTextContext(TextContext context) : m_previous(t_context) {
    t_context = context;
}

ScopedTextContext::~ScopedTextContext() {
    t_context = m_previous;
}

TextContext& currentTextContext() {
    return t_context;
}

int SystemAnsiCodePage() {
    return t_context.ansiCodePage != 0 ? t_context.ansiCodePage : PlatformAnsiCodePage();
}

int codePageOfLocaleCharset(std::string_view charset) {
    const std::string name = upperAscii(charset);
    struct Row {
        std::string_view name;
        int codePage;
    };
    static constexpr Row kRows[] = {
        {"GBK", 936},     {"GB2312", 936},      {"GB18030", 936},   {"EUC-CN", 936},
        {"BIG5", 950},    {"BIG5-HKSCS", 950},  {"SHIFT_JIS", 932}, {"SJIS", 932},
        {"EUC-KR", 949},  {"KOI8-R", 20866},    {"KOI8-U", 21866},  {"EUC-JP", 20932},
        {"TIS-620", 874}, {"ISO-8859-11", 874},
    };
    for (const auto& row : kRows)
        if (name == row.name) return row.codePage;
    // ISO-8859-n (also written ISO8859-n) and CP125x / WINDOWS-125x by their numbers.
    for (std::string_view prefix : {"ISO-8859-", "ISO8859-"}) {
        if (name.starts_with(prefix)) {
            const int part = parseCodePage(std::string_view(name).substr(prefix.size()));
            if (part >= 1 && part <= 9) return 28590 + part;
        }
    }
    for (std::string_view prefix : {"CP", "WINDOWS-"}) {
        if (name.starts_with(prefix)) {
            const int number = parseCodePage(std::string_view(name).substr(prefix.size()));
            if (number >= 1250 && number <= 1258) return number;
        }
    }
    return 0;
}

int PlatformAnsiCodePage() {
    static const int codePage = [] {
        if (const char* env = std::getenv("QUILLET_ANSI_CODEPAGE"))
            if (const int n = parseCodePage(env); n != 0) return n;
        if (const int n = codePageOfLocaleCharset(localeCharset()); n != 0) return n;
        return 1252;
    }();
    return codePage;
}

UserInterface& TextUserInterface() {
    static TerminalUserInterface terminal;
    return t_context.ui != nullptr ? *t_context.ui : terminal;
}

}  // namespace quillet
