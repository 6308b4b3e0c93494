// Application, Options, AutoCorrect and Documents; registration, saving and reading files.
#include "engine/word_engine.h"

#include "automation/class_registry.h"
#include "engine/doc_export.h"
#include "engine/docx_reader.h"
#include "engine/docx_writer.h"
#include "engine/read_ahead.h"
#include "engine/word_objects.h"
#include "platform/utf.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <thread>

namespace quillet::engine {

namespace {

// The Boolean options that the application keeps: read and written, they change nothing else.
constexpr std::u16string_view kOptions[] = {
    u"LabelSmartTags",
    u"CheckGrammarAsYouType",
    u"CheckGrammarWithSpelling",
    u"ContextualSpeller",
    u"CheckSpellingAsYouType",
    u"AutoFormatAsYouTypeApplyHeadings",
    u"AutoFormatAsYouTypeApplyBorders",
    u"AutoFormatAsYouTypeApplyBulletedLists",
    u"AutoFormatAsYouTypeApplyNumberedLists",
    u"AutoFormatAsYouTypeApplyTables",
    u"AutoFormatAsYouTypeReplaceQuotes",
    u"AutoFormatAsYouTypeReplaceSymbols",
    u"AutoFormatAsYouTypeReplaceOrdinals",
    u"AutoFormatAsYouTypeReplaceFractions",
    u"AutoFormatAsYouTypeReplacePlainTextEmphasis",
    u"AutoFormatAsYouTypeReplaceHyperlinks",
    u"AutoFormatAsYouTypeFormatListItemBeginning",
    u"AutoFormatAsYouTypeDefineStyles",
    u"TabIndentKey",
    u"AutoFormatAsYouTypeApplyFirstIndents",
    u"AutoFormatAsYouTypeApplyDates",
    u"AutoFormatAsYouTypeMatchParentheses",
    u"AutoFormatAsYouTypeInsertOvers",
    u"AutoFormatAsYouTypeDeleteAutoSpaces",
    u"AutoFormatApplyHeadings",
    u"AutoFormatApplyLists",
    u"AutoFormatApplyBulletedLists",
    u"AutoFormatApplyOtherParas",
    u"AutoFormatReplaceQuotes",
    u"AutoFormatReplaceSymbols",
    u"AutoFormatReplaceOrdinals",
    u"AutoFormatReplaceFractions",
    u"AutoFormatReplacePlainTextEmphasis",
    u"AutoFormatReplaceHyperlinks",
    u"AutoFormatPreserveStyles",
    u"AutoFormatPlainTextWordMail",
    u"AutoFormatApplyFirstIndents",
    u"AutoFormatMatchParentheses",
    u"AutoFormatDeleteAutoSpaces",
    u"AutoFormatReplaceFarEastDashes",
};
constexpr std::u16string_view kAutoCorrect[] = {
    u"CorrectInitialCaps",
    u"CorrectSentenceCaps",
    u"CorrectDays",
    u"CorrectCapsLock",
    u"ReplaceText",
    u"ReplaceTextFromSpellingChecker",
    u"CorrectKeyboardSetting",
    u"DisplayAutoCorrectOptions",
    u"CorrectTableCells",
};

constexpr int kOpenFormatAuto = 0;
constexpr int kOpenFormatWebPages = 7;

void checkRunning(const ApplicationState& app) {
    if (app.quit) throw AutomationError(u"the application has quit");
}

// Options and AutoCorrect: a table of Boolean properties over the application's option values.
template <int Kind>
class OptionSet : public TableDispatch<OptionSet<Kind>> {
public:
    explicit OptionSet(std::shared_ptr<ApplicationState> app) : m_app(std::move(app)) {}
    static const MemberTable<OptionSet>& members() {
        static const MemberTable<OptionSet> table = [] {
            std::vector<typename MemberTable<OptionSet>::Member> list;
            auto add = [&](std::u16string_view name) {
                const std::u16string key = detail::memberKey(name);
                list.emplace_back(
                    name, std::vector<std::u16string_view>{},
                    [key](OptionSet& o, const CallArgs&) {
                        checkRunning(*o.m_app);
                        return Variant(o.m_app->options[key]);
                    },
                    [key](OptionSet& o, const CallArgs& a) {
                        checkRunning(*o.m_app);
                        o.m_app->options[key] = a.value().toBool();
                    });
            };
            if (Kind == 0)
                for (auto name : kOptions) add(name);
            else
                for (auto name : kAutoCorrect) add(name);
            return MemberTable<OptionSet>(Kind == 0 ? u"Options" : u"AutoCorrect", std::move(list));
        }();
        return table;
    }

private:
    std::shared_ptr<ApplicationState> m_app;
};

DocumentReader& webPageReader() {
    static DocumentReader reader;
    return reader;
}
ReadPreparer& webPagePreparer() {
    static ReadPreparer prepare;
    return prepare;
}

// How many pages Documents.ReadAhead keeps queued or read: enough to keep the other cores busy
// while the caller works on one page, few enough that their documents cost little memory.
constexpr std::size_t kReadAheadPages = 8;
// Reading a page costs about twice what inserting it does, so the pages are read by as many
// threads as there are cores (at most four): with two cores, the caller and two readers share
// them evenly.
std::size_t readAheadWorkers() {
    return std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
}
std::mutex& webPageReaderMutex() {
    static std::mutex m;
    return m;
}

bool hasExtension(const std::u16string& path, std::initializer_list<std::u16string_view> exts) {
    const std::u16string ext = detail::memberKey(fromPath(toPath(path).extension()));
    for (auto e : exts)
        if (ext == e) return true;
    return false;
}

class DocumentsObject : public TableDispatch<DocumentsObject> {
public:
    explicit DocumentsObject(std::shared_ptr<ApplicationState> app) : m_app(std::move(app)) {}
    static const MemberTable<DocumentsObject>& members() {
        using Self = DocumentsObject;
        static const MemberTable<Self> table(
            u"Documents",
            collectionMembers<Self>(
                [](Self& d) {
                    checkRunning(*d.m_app);
                    return static_cast<int>(d.m_app->documents.size());
                },
                [](Self& d, std::size_t i) { return makeDocument(d.m_app->documents[i]); },
                {
                    {u"Add",
                     {u"Template", u"NewTemplate", u"DocumentType", u"Visible"},
                     [](Self& d, const CallArgs& a) {
                         auto doc = d.create();
                         if (a.has(0)) readDocx(doc->model, a.text(0));
                         return d.adopt(doc);
                     }},
                    {u"Open",
                     {u"FileName", u"ConfirmConversions", u"ReadOnly", u"AddToRecentFiles",
                      u"PasswordDocument", u"PasswordTemplate", u"Revert", u"WritePasswordDocument",
                      u"WritePasswordTemplate", u"Format", u"Encoding", u"Visible",
                      u"OpenAndRepair", u"DocumentDirection", u"NoEncodingDialog", u"XMLTransform"},
                     [](Self& d, const CallArgs& a) {
                         return d.open(a.text(0), a.integer(9, kOpenFormatAuto));
                     }},
                    // Tells that Open will soon be asked for this web page, which is then
                    // read on a second thread meanwhile; true when it was queued.
                    {u"ReadAhead",
                     {u"FileName", u"Format"},
                     [](Self& d, const CallArgs& a) {
                         return Variant(d.readAhead(a.text(0), a.integer(1, kOpenFormatAuto)));
                     }},
                }));
        return table;
    }

private:
    std::shared_ptr<DocumentState> create() {
        checkRunning(*m_app);
        auto doc = std::make_shared<DocumentState>();
        doc->app = m_app;
        doc->fullName = u"Document" + fromUtf8(std::to_string(++m_app->documentsCreated));
        return doc;
    }
    Variant adopt(const std::shared_ptr<DocumentState>& doc) {
        m_app->documents.push_back(doc);
        return Variant(makeDocument(doc));
    }
    Variant open(const std::u16string& path, int format) {
        auto doc = create();
        std::error_code ec;
        if (!std::filesystem::is_regular_file(toPath(path), ec))
            throw AutomationError(u"cannot open " + path + u": no such file");
        const bool web = format == kOpenFormatWebPages ||
                         (format == kOpenFormatAuto && hasExtension(path, {u".htm", u".html"}));
        if (web) {
            if (m_app->readAhead) {
                if (auto ready = m_app->readAhead->take(path)) {
                    ready->app = doc->app;
                    ready->fullName = path;
                    return adopt(ready);
                }
            }
            DocumentReader reader;
            {
                const std::lock_guard lock(webPageReaderMutex());
                reader = webPageReader();
            }
            if (!reader)
                throw AutomationError(u"cannot open " + path +
                                      u": reading web pages is not available");
            reader(doc->model, path);
        } else {
            readDocx(doc->model, path);
        }
        doc->fullName = path;
        return adopt(doc);
    }
    bool readAhead(const std::u16string& path, int format) {
        checkRunning(*m_app);
        const bool web = format == kOpenFormatWebPages ||
                         (format == kOpenFormatAuto && hasExtension(path, {u".htm", u".html"}));
        if (!web) return false;
        ReadPreparer prepare;
        {
            const std::lock_guard lock(webPageReaderMutex());
            prepare = webPagePreparer();
        }
        if (!prepare) return false;
        if (!m_app->readAhead)
            m_app->readAhead = std::make_shared<ReadAhead>(kReadAheadPages, readAheadWorkers());
        return m_app->readAhead->request(path, prepare(path));
    }
    std::shared_ptr<ApplicationState> m_app;
};

class ApplicationObject : public TableDispatch<ApplicationObject> {
public:
    ApplicationObject() : m_app(std::make_shared<ApplicationState>()) {
        // Word's defaults: proofing and automatic formatting on.
        for (auto name : kOptions) m_app->options[detail::memberKey(name)] = true;
        for (auto name : kAutoCorrect) m_app->options[detail::memberKey(name)] = true;
    }
    static const MemberTable<ApplicationObject>& members() {
        using Self = ApplicationObject;
        static const MemberTable<Self> table(
            u"Application",
            {
                {u"Options",
                 {},
                 [](Self& a, const CallArgs&) {
                     checkRunning(*a.m_app);
                     return Variant(Object(std::make_shared<OptionSet<0>>(a.m_app)));
                 }},
                {u"AutoCorrect",
                 {},
                 [](Self& a, const CallArgs&) {
                     checkRunning(*a.m_app);
                     return Variant(Object(std::make_shared<OptionSet<1>>(a.m_app)));
                 }},
                {u"Version",
                 {},
                 [](Self& a, const CallArgs&) {
                     checkRunning(*a.m_app);
                     return Variant(u"16.0");
                 }},
                {u"Name", {}, [](Self&, const CallArgs&) { return Variant(u"Microsoft Word"); }},
                // Documents held in memory cost the same to extend however long they are, so
                // the save-and-reopen cycle that keeps Word quick would only cost time here.
                {u"RefreshNeeded", {}, [](Self&, const CallArgs&) { return Variant(false); }},
                // Documents.ReadAhead is offered when web pages can be read on a second thread.
                {u"CanReadAhead",
                 {},
                 [](Self&, const CallArgs&) {
                     const std::lock_guard lock(webPageReaderMutex());
                     return Variant(static_cast<bool>(webPagePreparer()));
                 }},
                {u"DefaultSaveFormat",
                 {},
                 [](Self& a, const CallArgs&) {
                     checkRunning(*a.m_app);
                     return Variant(a.m_app->defaultSaveFormat);
                 },
                 [](Self& a, const CallArgs& c) {
                     checkRunning(*a.m_app);
                     a.m_app->defaultSaveFormat = c.value().toString();
                 }},
                {u"Visible",
                 {},
                 [](Self& a, const CallArgs&) { return Variant(a.m_app->visible); },
                 [](Self& a, const CallArgs& c) { a.m_app->visible = c.value().toBool(); }},
                {u"Documents",
                 {},
                 [](Self& a, const CallArgs&) {
                     checkRunning(*a.m_app);
                     return Variant(Object(std::make_shared<DocumentsObject>(a.m_app)));
                 }},
                {u"Quit",
                 {u"SaveChanges", u"OriginalFormat", u"RouteDocument"},
                 [](Self& a, const CallArgs& c) {
                     checkRunning(*a.m_app);
                     const int save = c.integer(0, 0);
                     for (auto& doc : a.m_app->documents) {
                         if (save == -1 && doc->fullName.find(u'/') != std::u16string::npos)
                             saveDocument(*doc, doc->fullName, 12);
                         doc->closed = true;
                     }
                     a.m_app->documents.clear();
                     a.m_app->readAhead.reset();
                     a.m_app->quit = true;
                     return Variant();
                 }},
            });
        return table;
    }

private:
    std::shared_ptr<ApplicationState> m_app;
};

}  // namespace

void setWebPageReader(DocumentReader reader, ReadPreparer prepare) {
    const std::lock_guard lock(webPageReaderMutex());
    webPageReader() = std::move(reader);
    webPagePreparer() = std::move(prepare);
}

void saveDocument(DocumentState& doc, const std::u16string& path, int format) {
    checkOpen(doc);
    if (path.empty()) throw AutomationError(u"argument FileName: a file name is needed");
    if (format == 12) {
        writeDocx(doc.model, path);
        return;
    }
    // Word 97-2003 (0) and PDF (17): the .docx goes to a temporary file beside nothing else,
    // then LibreOffice converts it.
    const std::filesystem::path folder = std::filesystem::temp_directory_path();
    const std::u16string temp =
        fromPath(folder / ("quillet-" + std::to_string(::getpid()) + "-" +
                           std::to_string(reinterpret_cast<std::uintptr_t>(&doc)) + ".docx"));
    try {
        writeDocx(doc.model, temp);
        if (format == 17)
            convertDocxToPdf(temp, path);
        else
            convertDocxToDoc(temp, path);
    } catch (...) {
        std::error_code ec;
        std::filesystem::remove(toPath(temp), ec);
        throw;
    }
    std::error_code ec;
    std::filesystem::remove(toPath(temp), ec);
}

void registerWordEngine() {
    registerClass(u"Word.Application",
                  [] { return Object(std::make_shared<ApplicationObject>()); });
}

}  // namespace quillet::engine
