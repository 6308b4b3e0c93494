#include "ui/settings_binding.h"

#include "job/paper_sizes.h"
#include "platform/utf.h"
#include "ui/main_window.h"

#include <functional>
#include <optional>
#include <vector>

namespace quillet::ui {

namespace {

// How a value is stored and read back.
enum class Kind {
    FileName,  // a string without a default; a lenient reading takes a mistyped one as empty
    Text,      // a string; a missing one reads as empty
    Number,    // a DWORD
    Choice,    // a DWORD; a missing one, in a file written before it was kept, reads as its default
    Flag,      // a DWORD, 1 or 0
    Font,      // a heading font specification, which must be there
};

struct Binding {
    std::u16string name;
    Kind kind;
    std::optional<SettingValue> byDefault;  // none: not written by the defaults
    std::function<SettingValue(const TfrmMain&)> get;
    std::function<void(TfrmMain&, const SettingValue&)> show;
    std::function<void(const TfrmMain&, TDocPDFSettings&)> fill;  // empty: no conversion setting
};

std::int32_t number(const SettingValue& value) {
    return std::get<std::int32_t>(value);
}

const std::u16string& text(const SettingValue& value) {
    return std::get<std::u16string>(value);
}

Binding fileName(const char16_t* name, QLineEdit* TfrmMain::*edit) {
    return {
        name,
        Kind::FileName,
        std::nullopt,
        [edit](const TfrmMain& w) -> SettingValue { return (w.*edit)->text().toStdU16String(); },
        [edit](TfrmMain& w, const SettingValue& v) {
            (w.*edit)->setText(QString::fromStdU16String(text(v)));
        },
        {}};
}

Binding textEdit(const char16_t* name, const char16_t* byDefault, QLineEdit* TfrmMain::*edit,
                 std::u16string TDocPDFSettings::*field) {
    Binding binding = fileName(name, edit);
    binding.kind = Kind::Text;
    binding.byDefault = std::u16string(byDefault);
    binding.fill = [edit, field](const TfrmMain& w, TDocPDFSettings& s) {
        s.*field = (w.*edit)->text().toStdU16String();
    };
    return binding;
}

// The number box clamps a stored value to its range.
Binding numberBox(const char16_t* name, std::int32_t byDefault, QSpinBox* TfrmMain::*box,
                  int TDocPDFSettings::*field) {
    return {name,
            Kind::Number,
            byDefault,
            [box](const TfrmMain& w) -> SettingValue { return (w.*box)->value(); },
            [box](TfrmMain& w, const SettingValue& v) { (w.*box)->setValue(number(v)); },
            [box, field](const TfrmMain& w, TDocPDFSettings& s) { s.*field = (w.*box)->value(); }};
}

// A stored index outside the list selects nothing; no selection is stored and passed on as -1.
Binding listIndex(const char16_t* name, std::int32_t byDefault, QComboBox* TfrmMain::*list,
                  int TDocPDFSettings::*field) {
    return {name,
            Kind::Number,
            byDefault,
            [list](const TfrmMain& w) -> SettingValue { return (w.*list)->currentIndex(); },
            [list](TfrmMain& w, const SettingValue& v) {
                QComboBox* box = w.*list;
                const int index = number(v);
                box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
            },
            [list, field](const TfrmMain& w, TDocPDFSettings& s) {
                s.*field = (w.*list)->currentIndex();
            }};
}

// A list whose entry is kept but fills no conversion setting: what it chooses shows elsewhere (the
// output list chooses the kind of output, which the output's name then ends in).
Binding choiceList(const char16_t* name, std::int32_t byDefault, QComboBox* TfrmMain::*list) {
    Binding binding = listIndex(name, byDefault, list, nullptr);
    binding.kind = Kind::Choice;
    binding.fill = {};
    return binding;
}

// The paper list stores its index and passes on the paper-size code of its entry.
Binding paperList(const char16_t* name) {
    Binding binding =
        listIndex(name, paperIndex(kPaperA4), &TfrmMain::cbPaperSize, &TDocPDFSettings::PaperSize);
    binding.fill = [](const TfrmMain& w, TDocPDFSettings& s) {
        if (const int index = w.cbPaperSize->currentIndex(); index >= 0)
            s.PaperSize = kPaperSizes[static_cast<std::size_t>(index)].code;
    };
    return binding;
}

// Checking a box runs its toggled handlers, so the controls that depend on it follow.
template <typename Button>
Binding checkBox(const char16_t* name, bool byDefault, Button* TfrmMain::*button,
                 bool TDocPDFSettings::*field) {
    return {
        name,
        Kind::Flag,
        std::int32_t{byDefault ? 1 : 0},
        [button](const TfrmMain& w) -> SettingValue {
            return std::int32_t{(w.*button)->isChecked() ? 1 : 0};
        },
        [button](TfrmMain& w, const SettingValue& v) { (w.*button)->setChecked(number(v) != 0); },
        [button, field](const TfrmMain& w, TDocPDFSettings& s) {
            s.*field = (w.*button)->isChecked();
        }};
}

// "放弃": checking it runs its rule; unchecking leaves both radio buttons unchecked and the
// addenda controls as they are.
Binding discardChoice(const char16_t* name) {
    Binding binding = checkBox(name, false, &TfrmMain::rbDiscard, &TDocPDFSettings::Discard);
    binding.show = [](TfrmMain& w, const SettingValue& v) {
        if (number(v) != 0) {
            w.rbDiscard->setChecked(true);
            w.rbDiscardClick();
        } else if (w.rbDiscard->isChecked()) {
            w.rbDiscard->setAutoExclusive(false);
            w.rbDiscard->setChecked(false);
            w.rbDiscard->setAutoExclusive(true);
        }
    };
    return binding;
}

// Level 1 is bold and underlined by default; each level below it is two points smaller.
Binding headingFont(int level) {
    const std::u16string size = fromUtf8(std::to_string(29 - 2 * level));
    return {
        u"Heading" + fromUtf8(std::to_string(level)),
        Kind::Font,
        level == 1 ? u"Calibri,27,0,[BU]" : u"Calibri," + size + u",0,[]",
        [level](const TfrmMain& w) -> SettingValue { return FontToString(w.HeadingFont[level]); },
        [level](TfrmMain& w, const SettingValue& v) {
            StringToFont(text(v), w.HeadingFont[level]);
        },
        [level](const TfrmMain& w, TDocPDFSettings& s) {
            s.HeadingFont[level] = w.HeadingFont[level];
        }};
}

// Every setting, in the order it is written and read.
const std::vector<Binding>& bindings() {
    static const std::vector<Binding> table = [] {
        using W = TfrmMain;
        using S = TDocPDFSettings;
        std::vector<Binding> t = {
            fileName(u"SourceFile", &W::edtSourceFile),
            // Before the output's name, which the list then follows when it ends in a kind's
            // extension.
            choiceList(u"OutputType", 0, &W::cbOutputType),
            fileName(u"WordFile", &W::edtPDF),
            paperList(u"PaperSize"),
            numberBox(u"Height", 0, &W::seHeight, &S::Height),
            numberBox(u"Width", 0, &W::seWidth, &S::Width),
            numberBox(u"Top", 25, &W::seTop, &S::Top),
            numberBox(u"Bottom", 25, &W::seBottom, &S::Bottom),
            numberBox(u"Left", 30, &W::seLeft, &S::Left),
            numberBox(u"Right", 30, &W::seRight, &S::Right),
            checkBox(u"Cover", true, &W::cbCover, &S::Cover),
            checkBox(u"Header", true, &W::cbHeader, &S::Header),
            checkBox(u"Footer", true, &W::cbFooter, &S::Footer),
            checkBox(u"Toc", true, &W::cbTOC, &S::Toc),
            numberBox(u"ShowLevel", 9, &W::seShowLevel, &S::ShowLevel),
            textEdit(u"TOCCaption", u"Table of Contents", &W::edtTableOfContents, &S::TOCCaption),
            checkBox(u"TitleNumber", true, &W::cbTitleNumber, &S::TitleNumber),
            checkBox(u"AddHint", true, &W::cbHint, &S::AddHint),
            textEdit(u"HintFormat", u"See [Title No.]", &W::edtHintFormat, &S::HintFormat),
            listIndex(u"StartNewPage", 0, &W::cbStartNewPage, &S::StartNewPage),
            discardChoice(u"Discard"),
            textEdit(u"Addenda", u"Addenda", &W::edtAddenda, &S::Addenda),
            checkBox(u"LinkedHelp", true, &W::cbLinkedHelp, &S::LinkedHelp),
            checkBox(u"Index", true, &W::cbIndex, &S::Index),
        };
        for (int level = 1; level <= 9; ++level) t.push_back(headingFont(level));
        return t;
    }();
    return table;
}

void writeValue(SettingsStore& store, const std::u16string& name, const SettingValue& value) {
    if (const auto* n = std::get_if<std::int32_t>(&value))
        store.writeInteger(AppRegistryKey, name, *n);
    else
        store.writeString(AppRegistryKey, name, text(value));
}

SettingValue readValue(const SettingsSource& source, const Binding& binding, bool lenient) {
    switch (binding.kind) {
        case Kind::FileName:
        case Kind::Text:
            if (!source.valueExists(binding.name)) return std::u16string();
            try {
                return source.readString(binding.name);
            } catch (const SettingsError&) {
                // The defaults never rewrite a file name, so a second reading would fail again.
                if (lenient && binding.kind == Kind::FileName) return std::u16string();
                throw;
            }
        case Kind::Choice:
            if (!source.valueExists(binding.name)) return *binding.byDefault;
            return source.readInteger(binding.name);
        case Kind::Number:
        case Kind::Flag:
            return source.readInteger(binding.name);
        case Kind::Font:
            if (!source.valueExists(binding.name))
                throw SettingsError("missing " + toUtf8(binding.name));
            return source.readString(binding.name);
    }
    throw SettingsError("setting \"" + toUtf8(binding.name) + "\" has no kind");
}

}  // namespace

bool SettingsSource::valueExists(const std::u16string& name) const {
    return fromDefaults(name) != nullptr || m_store.valueExists(AppRegistryKey, name);
}

std::u16string SettingsSource::readString(const std::u16string& name) const {
    const SettingValue* value = fromDefaults(name);
    if (value == nullptr) return m_store.readString(AppRegistryKey, name);
    if (const auto* string = std::get_if<std::u16string>(value)) return *string;
    throw SettingsError("setting \"" + toUtf8(name) + "\" is not a string");
}

std::int32_t SettingsSource::readInteger(const std::u16string& name) const {
    const SettingValue* value = fromDefaults(name);
    if (value == nullptr) return m_store.readInteger(AppRegistryKey, name);
    if (const auto* integer = std::get_if<std::int32_t>(value)) return *integer;
    throw SettingsError("setting \"" + toUtf8(name) + "\" is not a DWORD");
}

const SettingValue* SettingsSource::fromDefaults(const std::u16string& name) const {
    if (!m_defaults) return nullptr;
    for (const Binding& binding : bindings())
        if (binding.name == name && binding.byDefault) return &*binding.byDefault;
    return nullptr;
}

void writeDefaultSettings(SettingsStore& store) {
    for (const Binding& binding : bindings())
        if (binding.byDefault) writeValue(store, binding.name, *binding.byDefault);
}

void showSettings(const SettingsSource& source, TfrmMain& window, bool lenient) {
    for (const Binding& binding : bindings())
        binding.show(window, readValue(source, binding, lenient));
}

void storeSettings(const TfrmMain& window, SettingsStore& store, bool withFonts) {
    for (const Binding& binding : bindings())
        if (withFonts || binding.kind != Kind::Font)
            writeValue(store, binding.name, binding.get(window));
}

void fillSettings(const TfrmMain& window, TDocPDFSettings& settings) {
    for (const Binding& binding : bindings())
        if (binding.fill) binding.fill(window, settings);
}

}  // namespace quillet::ui
