#include "word/word_stage.h"

#include "automation/class_registry.h"
#include "platform/ascii.h"
#include "platform/case_insensitive_path.h"
#include "platform/file_in_use.h"
#include "platform/file_mode.h"
#include "platform/temp_files.h"
#include "platform/translation.h"
#include "platform/utf.h"
#include "text/confined_path.h"
#include "text/east_asian_fonts.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <system_error>

namespace quillet {

// clang-format off
const std::array<const char16_t*, 49> kGuardedOptions = {
    // Options
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
    // AutoCorrect
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
// clang-format on

namespace {

constexpr int kFirstAutoCorrectOption = 40;  // index of CorrectInitialCaps

std::u16string decimal(long long n) {
    return fromUtf8(std::to_string(n));
}

// Nearest integer, a half going to the even neighbour.
int roundHalfEven(double value) {
    return static_cast<int>(std::nearbyint(value));
}

void report(TChmToDocPDF& job, const std::u16string& info, int persent) {
    if (job.FOnChange) job.FOnChange(info, persent);
}

Object optionOwner(TWordSession& session, std::size_t option) {
    return session.WordApp.at(option < kFirstAutoCorrectOption ? u"Options" : u"AutoCorrect");
}

void SaveWordOptions(TWordSession& session) {
    for (std::size_t n = 0; n < kGuardedOptions.size(); ++n)
        session.SavedOptions[n] = optionOwner(session, n).get(kGuardedOptions[n]).toBool();
}

void ClearWordOptions(TWordSession& session) {
    const auto clear = [&](std::size_t from, std::size_t to) {
        for (std::size_t n = from; n <= to; ++n)
            optionOwner(session, n).put(kGuardedOptions[n], false);
    };
    clear(0, 4);
    clear(40, 48);
    clear(5, 39);
}

void RestoreWordOptions(TWordSession& session) {
    for (std::size_t n = 0; n < kGuardedOptions.size(); ++n)
        optionOwner(session, n).put(kGuardedOptions[n], session.SavedOptions[n]);
}

Object createWord(TWordSession& session) {
    return session.Filter.filtered(CreateObject(u"Word.Application"));
}

// --- page setup, cover, contents, header and footer ------------------------------------------

void SetupPage(TWordSession& session, TChmToDocPDF& job) {
    const TDocPDFSettings& s = *job.Settings;
    const auto setup = [&] { return session.Doc.at(u"PageSetup"); };
    setup().put(u"PaperSize", s.PaperSize);
    if (s.PaperSize == 41) {
        setup().put(u"PageHeight", MillimetresToPoints(s.Height));
        setup().put(u"PageWidth", MillimetresToPoints(s.Width));
    }
    setup().put(u"TopMargin", MillimetresToPoints(s.Top));
    setup().put(u"BottomMargin", MillimetresToPoints(s.Bottom));
    setup().put(u"LeftMargin", MillimetresToPoints(s.Left));
    setup().put(u"RightMargin", MillimetresToPoints(s.Right));
    session.PageWidthPt = roundHalfEven(setup().get(u"PageWidth").toDouble());
    session.LeftMarginPt = roundHalfEven(setup().get(u"LeftMargin").toDouble());
    session.RightMarginPt = roundHalfEven(setup().get(u"RightMargin").toDouble());
    session.TextWidth =
        roundHalfEven(setup().get(u"PageWidth").toDouble() - setup().get(u"LeftMargin").toDouble() -
                      setup().get(u"RightMargin").toDouble());
    setup().at(u"LineNumbering").put(u"Active", false);
}

void AddCover(TWordSession& session, TChmToDocPDF& job) {
    Object& r = session.InsertRange;
    report(job, tr16(QT_TRANSLATE_NOOP("quillet", "创建封面...")), 0);
    r.put(u"Style", -1);
    for (int n = 0; n < 6; ++n) r.call(u"InsertParagraphAfter");
    r.call(u"collapse", {0});
    r.call(u"InsertAfter", {job.Title});
    r.at(u"font").put(u"size", 36);
    r.at(u"ParagraphFormat").put(u"Alignment", 1);
    r.call(u"collapse", {0});
    r.call(u"InsertParagraphAfter");
    r.call(u"InsertParagraphAfter");
    r.call(u"collapse", {0});
    r.call(u"InsertParagraphAfter");
    r.at(u"ParagraphFormat").put(u"Alignment", 0);
    r.call(u"collapse", {0});
    r.call(u"InsertBreak", {2});
}

void AddContents(TWordSession& session, TChmToDocPDF& job) {
    Object& r = session.InsertRange;
    report(job, tr16(QT_TRANSLATE_NOOP("quillet", "创建 TOC...")), 0);
    r.call(u"collapse", {0});
    r.call(u"InsertAfter", {job.Settings->TOCCaption});
    r.at(u"font").put(u"size", 28);
    r.at(u"ParagraphFormat").put(u"Alignment", 0);
    r.call(u"InsertParagraphAfter");
    r.call(u"collapse", {0});
    const Object contents =
        session.Doc.at(u"TablesOfContents")
            .call(u"Add", {named(u"Range", r), named(u"RightAlignPageNumbers", true),
                           named(u"UseHeadingStyles", true), named(u"UpperHeadingLevel", 1),
                           named(u"LowerHeadingLevel", job.Settings->ShowLevel),
                           named(u"IncludePageNumbers", true), named(u"UseHyperlinks", true),
                           named(u"HidePageNumbersInWeb", true), named(u"UseOutlineLevels", true)})
            .toObject();
    session.InsertRange = contents.at(u"range");
    session.InsertRange.call(u"collapse", {0});
    session.InsertRange.call(u"InsertBreak", {2});
}

void AddHeaderFooter(TWordSession& session, TChmToDocPDF& job) {
    const TDocPDFSettings& s = *job.Settings;
    report(job, tr16(QT_TRANSLATE_NOOP("quillet", "页眉和页脚...")), 90);
    const int section = s.Cover ? 2 : 1;
    if (s.Footer) {
        const Object footer =
            session.Doc.at(u"Sections").at(u"item", {section}).at(u"Footers").at(u"item", {1});
        footer.put(u"LinkToPrevious", false);
        footer.at(u"PageNumbers").put(u"RestartNumberingAtSection", true);
        footer.at(u"PageNumbers").put(u"StartingNumber", 1);
        footer.at(u"PageNumbers").call(u"Add", {1, true});
    }
    if (s.Header) {
        const Object header =
            session.Doc.at(u"Sections").at(u"item", {section}).at(u"headers").at(u"item", {1});
        header.put(u"LinkToPrevious", false);
        const int textWidth = session.PageWidthPt - session.LeftMarginPt - session.RightMarginPt;
        const auto lineAtTop = [&] {
            header.at(u"Shapes").call(u"AddLine", {0, 14, textWidth, 14, header.get(u"Range")});
        };
        if (session.WordVersion > 12) {
            if (session.WordApp.get(u"DefaultSaveFormat").toString() == u"Doc")
                lineAtTop();
            else
                header.at(u"Shapes").call(u"AddLine", {session.LeftMarginPt, 51,
                                                       session.PageWidthPt - session.RightMarginPt,
                                                       51, header.get(u"Range")});
        } else if (session.WordVersion == 12) {
            lineAtTop();
        }
        header.at(u"Range").call(u"InsertAfter", {job.Title});
        header.at(u"Range").at(u"Paragraphs").put(u"Alignment", 1);
    }
}

void UpdateContents(TWordSession& session, TChmToDocPDF& job) {
    report(job, tr16(QT_TRANSLATE_NOOP("quillet", "更新 TOC...")), 95);
    if (job.Settings->Toc) session.Doc.at(u"TablesOfContents").at(u"item", {1}).call(u"Update");
    // The index's page numbers too, now that the pictures have their final sizes.
    if (session.MarkIndex) session.Doc.at(u"Indexes").at(u"item", {1}).call(u"Update");
}

// --- pictures -------------------------------------------------------------------------------

void FitPictures(TWordSession& session, TChmToDocPDF& job) {
    report(job, tr16(QT_TRANSLATE_NOOP("quillet", "调整内嵌形状...")), 80);
    const int inlineCount = session.Doc.at(u"InlineShapes").get(u"count").toInt();
    const int shapeCount = session.Doc.at(u"Shapes").get(u"count").toInt();
    const int total = inlineCount + shapeCount;
    if (total <= 0) return;
    const double step = 10.0 / total;
    const auto progress = [&](int n) {
        report(job,
               tr16(QT_TRANSLATE_NOOP("quillet", "Resizing inline Shapes (%1 of %2)..."),
                    {decimal(n), decimal(total)}),
               roundHalfEven(n * step) + 80);
    };
    for (int i = 1; i <= inlineCount; ++i) {
        progress(i);
        const Object shape = session.Doc.at(u"InlineShapes").at(u"item", {i});
        if (shape.get(u"Type").toInt() == 4) {
            shape.at(u"LinkFormat").put(u"SavePictureWithDocument", true);
            shape.put(u"LockAspectRatio", false);
            if (shape.get(u"ScaleHeight").toDouble() != 100 ||
                shape.get(u"ScaleWidth").toDouble() != 100) {
                if (shape.get(u"ScaleHeight").toDouble() == 100)
                    shape.put(u"ScaleHeight", shape.get(u"ScaleWidth"));
                else if (shape.get(u"ScaleWidth").toDouble() == 100)
                    shape.put(u"ScaleWidth", shape.get(u"ScaleHeight"));
            }
            shape.put(u"LockAspectRatio", true);
            if (shape.get(u"Width").toDouble() > session.TextWidth) {
                try {
                    shape.put(u"Width", session.TextWidth);
                } catch (const AutomationError&) {
                    // A picture that refuses the width keeps its size.
                }
            }
            shape.at(u"LinkFormat").call(u"BreakLink");
        }
        if (i % 10000 == 0) RefreshDocument(session, job);
    }
    for (int i = 1; i <= shapeCount; ++i) {
        progress(inlineCount + i);
        const Object shape = session.Doc.at(u"Shapes").at(u"item", {i});
        if (shape.get(u"Type").toInt() == 11) {
            shape.at(u"LinkFormat").put(u"SavePictureWithDocument", true);
            const double width = shape.get(u"Width").toDouble();
            if (width > session.TextWidth) {
                const double scalePercent = session.TextWidth / width * 100;
                try {
                    shape.put(u"Width", session.TextWidth);
                } catch (const AutomationError&) {
                    shape.put(u"ScaleHeight", scalePercent);
                    shape.put(u"ScaleWidth", scalePercent);
                }
            }
            shape.at(u"LinkFormat").call(u"BreakLink");
        }
        if (i % 10000 == 0) RefreshDocument(session, job);
    }
}

// --- document assembly ----------------------------------------------------------------------

void ApplyHeadingStyles(TWordSession& session, TChmToDocPDF& job) {
    for (int level = 1; level <= 9; ++level) {
        const TFont& font = job.Settings->HeadingFont[level];
        const auto style = [&] { return session.Doc.at(u"Styles").at(u"item", {-1 - level}); };
        style().at(u"Font").put(u"Name", font.Name);
        style().at(u"Font").put(u"Color", static_cast<int>(font.Color));
        style().at(u"Font").put(u"Size", font.Size);
        style().at(u"Font").put(u"Bold", font.Style.has(FontStyle::Bold));
        style().at(u"Font").put(u"Italic", font.Style.has(FontStyle::Italic));
        style().at(u"Font").put(u"Underline", font.Style.has(FontStyle::Underline));
    }
}

// The help file's language identifier ("0x0419"); 0 when it has none.
int languageIdOf(const TChmToDocPDF& job) {
    int languageId = 0;
    const std::string hex = toUtf8(job.LangID);
    if (hex.size() > 2 && (hex.starts_with("0x") || hex.starts_with("0X")))
        std::from_chars(hex.data() + 2, hex.data() + hex.size(), languageId, 16);
    return languageId;
}

// The language of the document's text, for readers' spell checking and hyphenation: the help
// file's own, when the server knows it. Text in an East Asian language keeps the Latin language
// such documents have and is tagged by its East Asian language (ApplyEastAsianFont).
void ApplyLanguage(TWordSession& session, TChmToDocPDF& job) {
    const int languageId = languageIdOf(job);
    if (languageId == 0) return;
    try {
        session.Doc.at(u"Styles").at(u"item", {-1}).put(u"LanguageID", languageId);
    } catch (const AutomationError&) {
        // A language the server does not know: the text keeps the default one.
    }
}

// The East Asian font and language of the document's text: the usual ones of the help file's
// language, or of its code page when the language is no East Asian one (a help file marked
// en-US whose text is GBK), so that readers pick the right glyph forms. Others keep the
// engine's defaults.
void ApplyEastAsianFont(TWordSession& session, TChmToDocPDF& job) {
    const EastAsianScript* script = eastAsianScriptOf(languageIdOf(job), job.CodePage);
    if (script == nullptr) {
        ApplyLanguage(session, job);
        return;
    }
    const Object normal = session.Doc.at(u"Styles").at(u"item", {-1});
    normal.at(u"Font").put(u"NameFarEast", std::u16string(script->font));
    normal.put(u"LanguageIDFarEast", script->languageId);
}

void UnlinkListTemplates(TWordSession& session) {
    const int count = session.Doc.at(u"Styles").get(u"count").toInt();
    for (int i = 1; i <= count; ++i) {
        try {
            if (session.Doc.at(u"Styles").at(u"item", {i}).get(u"type").toInt() == 1)
                session.Doc.at(u"Styles")
                    .at(u"item", {i})
                    .call(u"LinkToListTemplate", {named(u"ListTemplate", Variant::nothing())});
        } catch (const AutomationError&) {
            // A style that keeps its list template keeps it.
        }
    }
}

// Indexes.Add's choices: a letter heading before each letter's entries, sub-entries indented.
constexpr int kHeadingSeparatorLetter = 2;  // wdHeadingSeparatorLetter
constexpr int kIndexIndent = 0;             // wdIndexIndent

// The built-in heading style of a contents level, kept within Heading 1 to Heading 9.
int headingStyleOf(int level) {
    return -(std::clamp(level, 0, 8) + 2);
}

// Whether the document gets an index: the settings ask for one and some entry has keywords.
bool wantsIndex(const TChmToDocPDF& job) {
    if (!job.Settings->Index) return false;
    for (std::size_t i = 0; i < job.List.size(); ++i)
        if (!IndexEntries(job.List[i].Keywords).empty()) return true;
    return false;
}

// Marks the index entries of `entry` on its heading (`heading`: its text, without its paragraph
// mark).
void MarkIndexEntries(TWordSession& session, const TTitleList& entry, const Object& heading) {
    for (const std::u16string& text : IndexEntries(entry.Keywords))
        session.Doc.at(u"Indexes")
            .call(u"MarkEntry", {named(u"Range", heading), named(u"Entry", text)});
}

void AddEntryHeading(TWordSession& session, TChmToDocPDF& job, const TTitleList& entry) {
    Object& r = session.InsertRange;
    r.call(u"collapse", {0});
    r.put(u"style", headingStyleOf(entry.Level));
    r.call(u"InsertAfter",
           {job.Settings->TitleNumber ? entry.ChapterNumber + u" " + entry.Topic : entry.Topic});
    r.put(u"style", headingStyleOf(entry.Level));
    const Object bookmark =
        session.Doc.at(u"Bookmarks").call(u"Add", {entry.Bookmark, r}).toObject();
    session.InsertRange = bookmark.at(u"range");
    session.InsertRange.call(u"collapse", {0});
    session.InsertRange.call(u"InsertParagraphAfter");
    session.InsertRange.call(u"collapse", {0});
    // The marks go in once the heading's paragraph is closed, so that they stay in it.
    if (session.MarkIndex) MarkIndexEntries(session, entry, bookmark.at(u"range"));
}

// After the last chapter, on a page of its own: the heading "Index" and the index of the marked
// entries, letter headings between the letters, sub-entries indented, in two columns.
void AddIndex(TWordSession& session) {
    Object& r = session.InsertRange;
    r.call(u"collapse", {0});
    r.call(u"InsertParagraphAfter");
    r.call(u"collapse", {0});
    r.call(u"InsertBreak", {2});
    r.call(u"collapse", {0});
    r.put(u"style", headingStyleOf(0));
    r.call(u"InsertAfter", {tr16(QT_TRANSLATE_NOOP("quillet", "索引"))});
    r.call(u"InsertParagraphAfter");
    r.call(u"collapse", {0});
    r.put(u"Style", -1);
    const Object index =
        session.Doc.at(u"Indexes")
            .call(u"Add", {named(u"Range", r), named(u"HeadingSeparator", kHeadingSeparatorLetter),
                           named(u"Type", kIndexIndent), named(u"NumberOfColumns", 2)})
            .toObject();
    session.InsertRange = index.at(u"range");
    session.InsertRange.call(u"collapse", {0});
}

void ImportTopicPage(TWordSession& session, const std::u16string& path) {
    Object page;
    try {
        page = session.WordApp.at(u"Documents")
                   .call(u"Open", {named(u"FileName", path), named(u"Format", 7),
                                   named(u"Visible", false), named(u"OpenAndRepair", true)})
                   .toObject();
    } catch (const AutomationError&) {
        return;  // a page that cannot be opened adds nothing
    }
    try {
        Object heading = page.call(u"GoTo", {named(u"What", 11), named(u"Which", 1)}).toObject();
        heading.call(u"Expand", {4});
        int start = heading.get(u"Start").toInt();
        for (;;) {
            if (heading.at(u"ParagraphFormat").get(u"OutlineLevel").toInt() < 10) {
                const Variant old = heading.at(u"ParagraphFormat").get(u"style");
                heading.at(u"ParagraphFormat").put(u"style", -1);
                const auto oldStyle = [&] { return page.at(u"styles").at(u"Item", {old}); };
                const std::u16string fontName = oldStyle().at(u"font").get(u"name").toString();
                if (fontName != u"Times New Roman") heading.at(u"font").put(u"name", fontName);
                const double size = oldStyle().at(u"font").get(u"size").toDouble();
                heading.at(u"font").put(u"size", size > 14 ? 14.0 : size);
                heading.at(u"font").put(u"color", oldStyle().at(u"font").get(u"color"));
                heading.at(u"font").put(u"bold", oldStyle().at(u"font").get(u"bold"));
                heading.at(u"ParagraphFormat")
                    .put(u"Alignment", oldStyle().at(u"ParagraphFormat").get(u"Alignment"));
            }
            heading = heading.call(u"GoTo", {named(u"What", 11), named(u"Which", 2)}).toObject();
            if (heading.get(u"Start").toInt() == start) break;
            start = heading.get(u"Start").toInt();
            heading.call(u"Expand", {4});
        }
        const Object content = page.at(u"Content");
        if (content.get(u"end").toInt() > content.get(u"start").toInt()) {
            content.call(u"Copy");
            session.InsertRange.call(u"collapse", {0});
            session.InsertRange.put(u"Style", -1);
            session.InsertRange.call(u"Paste");
        }
    } catch (const AutomationError&) {
        // Demoting or copying failed: the page adds what it added so far.
    }
    page.call(u"Close", {named(u"SaveChanges", 0)});
}

// The topic page of an entry, when it has one: only pages of the help file, so that an address
// that leads out of the working folder gives a heading without a page. The page is found without
// regard to letter case, as the help file's links and contents were written to find it.
std::optional<std::u16string> topicPageOf(const TChmToDocPDF& job, const TTitleList& entry) {
    if (entry.Status != 0 || entry.Url.empty()) return std::nullopt;
    const auto page = pathInsideFolder(job.rootFolder + entry.Url, job.rootFolder);
    if (!page) return std::nullopt;
    std::error_code ec;
    if (std::filesystem::is_regular_file(toPath(*page), ec)) return page;
    const auto found = findExistingPath(toPath(*page));
    if (!found || !std::filesystem::is_regular_file(*found, ec)) return std::nullopt;
    return fromPath(*found);
}

// How many entries ahead of the one being inserted their pages are asked for.
constexpr int kPagesAhead = 6;

// A server that says it can (Application.CanReadAhead, as the document engine does) reads the
// pages of the next entries on a second thread while the stage inserts the current one: each is
// named to Documents.ReadAhead before ImportTopicPage opens it. Reading ahead changes nothing
// in the document, only when each page is read. Other servers (Word) are asked for nothing.
class PageReadAhead {
public:
    PageReadAhead(TWordSession& session, const TChmToDocPDF& job) : m_session(session), m_job(job) {
        try {
            const Variant answer = session.WordApp.get(u"CanReadAhead");
            m_enabled = answer.type() == Variant::Type::Bool && answer.toBool();
        } catch (const std::exception&) {
            m_enabled = false;
        }
    }

    // Names the pages of the entries up to `last` that were not named yet.
    void through(int last) {
        const int count = static_cast<int>(m_job.List.size());
        for (; m_enabled && m_next < count && m_next <= last; ++m_next) {
            const auto& page =
                m_pages
                    .emplace(m_next,
                             topicPageOf(m_job, m_job.List[static_cast<std::size_t>(m_next)]))
                    .first->second;
            if (!page) continue;
            try {
                m_session.WordApp.at(u"Documents")
                    .call(u"ReadAhead", {named(u"FileName", *page), named(u"Format", 7)});
            } catch (const AutomationError&) {
                m_enabled = false;  // the pages are read when they are opened
            }
        }
    }

    // The topic page of entry `n`, as topicPageOf finds it: looked up once for both uses.
    std::optional<std::u16string> pageOf(int n) {
        const auto found = m_pages.find(n);
        if (found == m_pages.end())
            return topicPageOf(m_job, m_job.List[static_cast<std::size_t>(n)]);
        std::optional<std::u16string> page = std::move(found->second);
        m_pages.erase(m_pages.begin(), std::next(found));
        return page;
    }

private:
    TWordSession& m_session;
    const TChmToDocPDF& m_job;
    bool m_enabled = false;
    int m_next = 0;
    std::map<int, std::optional<std::u16string>> m_pages;  // named ahead, not yet opened
};

void AddExternalLink(TWordSession& session, const TTitleList& entry) {
    session.InsertRange.call(u"collapse", {0});
    session.InsertRange.put(u"Style", -1);
    const Object link =
        session.Doc.at(u"Hyperlinks")
            .call(u"Add", {named(u"Anchor", session.InsertRange), named(u"Address", entry.Url),
                           named(u"TextToDisplay", entry.Url)})
            .toObject();
    session.InsertRange = link.at(u"range");
    session.InsertRange.call(u"collapse", {0});
    session.InsertRange.call(u"InsertParagraphAfter");
}

bool startsNewPage(const TChmToDocPDF& job, const TTitleList& entry) {
    switch (job.Settings->StartNewPage) {
        case 1:
            return entry.Level == 0;
        case 2:
            return true;
        default:
            return false;
    }
}

// --- saving ---------------------------------------------------------------------------------

std::u16string extensionOf(const std::u16string& path) {
    return fromPath(toPath(path).extension());
}

std::u16string withExtension(const std::u16string& path, const std::u16string& extension) {
    return fromPath(toPath(path).replace_extension(toPath(extension)));
}

// A new empty file beside `target`, named after it and unique (".~quillet-NAME-XXXXXX.docx"),
// so that two conversions to one output never write into each other's temporary file.
std::filesystem::path reserveTemporaryBeside(const std::filesystem::path& target) {
    const std::string extension = target.extension().string();
    std::string name =
        (target.parent_path() / (".~quillet-" + target.stem().string() + "-XXXXXX" + extension))
            .string();
    const int fd = ::mkstemps(name.data(), static_cast<int>(extension.size()));
    if (fd < 0) {
        const int err = errno;
        throw std::runtime_error("cannot write " + target.string() + ": " + std::strerror(err));
    }
    ::close(fd);
    return name;
}

// The permissions a new file gets from this process: read and write for all, less the umask
// (read from /proc, since asking for it means setting it, for every thread at once).
std::filesystem::perms newFilePermissions() {
    unsigned mask = 022;
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr)
            if (std::sscanf(line, "Umask: %o", &mask) == 1) break;
        std::fclose(status);
    }
    return static_cast<std::filesystem::perms>(0666 & ~mask);
}

void SaveOutput(TWordSession& session, TChmToDocPDF& job) {
    report(job, tr16(QT_TRANSLATE_NOOP("quillet", "保存文档...")), 98);
    std::error_code ec;
    const std::filesystem::path folder = toPath(job.pdf).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    const std::u16string extension = lowerAscii(extensionOf(job.pdf));
    // Word's file formats: 12 .docx, 17 PDF, 0 Word 97-2003, which any other name gets.
    const int format = extension == u".docx" ? 12 : extension == u".pdf" ? 17 : 0;
    session.OutputPath =
        (extension == u".doc" || format != 0) ? job.pdf : withExtension(job.pdf, u".doc");
    job.Abort = false;
    while (IsFileInUse(session.OutputPath)) {
        job.FOnDenied(session.OutputPath);
        if (job.Abort) break;
    }
    if (!job.Abort) {
        // Written beside the output under a temporary name and renamed over it only once whole,
        // so a failure never leaves a half-written document where a good one stood.
        const std::filesystem::path target = toPath(session.OutputPath);
        const std::filesystem::path temporary = reserveTemporaryBeside(target);
        try {
            session.Doc.call(u"SaveAs", {fromPath(temporary), named(u"FileFormat", format),
                                         named(u"AddToRecentFiles", false)});
        } catch (...) {
            std::filesystem::remove(temporary, ec);
            throw;
        }
        // The temporary file was made private: the document keeps the mode of the one it
        // replaces, or is an ordinary new file of the user's.
        if (!keepModeOf(target, temporary))
            std::filesystem::permissions(temporary, newFilePermissions(), ec);
        std::filesystem::rename(temporary, target, ec);
        if (ec) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            throw std::runtime_error("cannot write " + target.string() + ": " + ec.message());
        }
    }
    // The document is in place, whole: a refusal to close it is no failure of the run, and the
    // teardown quits Word all the same.
    try {
        session.Doc.call(u"close", {0});
    } catch (const AutomationError&) {
    }
    session.Succeeded = true;
}

void FinishRun(TWordSession& session, TChmToDocPDF& job, const WordStageOptions& options) {
    if (session.Succeeded) {
        report(job, tr16(QT_TRANSLATE_NOOP("quillet", "打开文档...")), 0);
        report(job, u"", 100);
        if (options.openDocument) options.openDocument(session.OutputPath);
        report(job, tr16(QT_TRANSLATE_NOOP("quillet", "OK!")), 0);
    } else {
        report(job, u"", 0);
    }
    job.OK = true;
    report(job, u"", 0);
}

}  // namespace

std::vector<std::u16string> IndexEntries(std::u16string_view keywords) {
    std::vector<std::u16string> entries;
    std::u16string entry, level;
    // Ends the level read so far; a blank one (nothing or spaces between separators) is none.
    const auto endLevel = [&] {
        if (level.find_first_not_of(u' ') != std::u16string::npos) {
            if (!entry.empty()) entry += u':';
            entry += level;
        }
        level.clear();
    };
    const auto endPath = [&] {
        endLevel();
        if (!entry.empty()) entries.push_back(std::move(entry));
        entry.clear();
    };
    for (std::size_t i = 0; i < keywords.size(); ++i) {
        const char16_t c = keywords[i];
        if (keywords.substr(i, 2) == u"`\\") {
            endPath();
            ++i;
        } else if (c == u'/' && keywords.substr(i, 2) == u"//") {
            level += u'/';
            ++i;
        } else if (c == u'/') {
            endLevel();
        } else {
            // What Word's index entries read as their own syntax is escaped.
            if (c == u':' || c == u';' || c == u'"' || c == u'\\') level += u'\\';
            level += c;
        }
    }
    endPath();
    return entries;
}

int WordVersionOf(std::u16string_view text) {
    long long value = 0;
    bool inRun = false;
    for (char16_t c : text) {
        if (c >= u'0' && c <= u'9') {
            inRun = true;
            value = std::min<long long>(value * 10 + (c - u'0'), 1'000'000);
        } else if (inRun) {
            break;
        }
    }
    return static_cast<int>(value);
}

int MillimetresToPoints(int millimetres) {
    return roundHalfEven(millimetres * 2.85);
}

// The refresh cycle (save the document, quit, start afresh, reopen it) is for Microsoft Word,
// whose document grows slower to extend the longer it is kept open. A server may say that its
// documents do not: its Application's "RefreshNeeded" is false. This program's document engine
// says so, because there the cycle would write and read the whole document every 200 entries
// for nothing. A server without the member (Word) gets the cycle, as it always did.
bool serverNeedsRefresh(const Object& application) {
    try {
        const Variant answer = application.get(u"RefreshNeeded");
        return answer.type() != Variant::Type::Bool || answer.toBool();
    } catch (const std::exception&) {
        return true;
    }
}

void StartWordSession(TWordSession& session, TChmToDocPDF& job) {
    session.Filter.RegisterFilter();
    report(job, tr16(QT_TRANSLATE_NOOP("quillet", "Launching Word...")), 20);
    session.WordApp = createWord(session);
    SaveWordOptions(session);
    ClearWordOptions(session);
    report(job, tr16(QT_TRANSLATE_NOOP("quillet", "Word launched.")), 20);
    session.WordVersion = WordVersionOf(session.WordApp.get(u"version").toString());
    session.RefreshNeeded = serverNeedsRefresh(session.WordApp);
    const std::u16string reserved = NewTempFileName();
    // The name is reserved by the empty file; the document goes beside it under its extension.
    session.TempDocument = withExtension(reserved, session.WordVersion >= 12 ? u".docx" : u".doc");
    std::error_code ec;
    std::filesystem::remove(toPath(reserved), ec);
}

void RefreshDocument(TWordSession& session, TChmToDocPDF& job) {
    if (!session.RefreshNeeded) return;
    report(job, tr16(QT_TRANSLATE_NOOP("quillet", "Freshing document(it may take a long time)...")),
           0);
    session.Doc.call(u"SaveAs", {session.TempDocument, named(u"FileFormat", 12),
                                 named(u"AddToRecentFiles", false)});
    session.WordApp.call(u"Quit", {false});
    session.WordApp = createWord(session);
    session.Doc = session.WordApp.at(u"Documents").call(u"Add", {session.TempDocument}).toObject();
    session.InsertRange = session.Doc.at(u"Content");
}

void EndWordSession(TWordSession& session, TChmToDocPDF& job) {
    // The teardown runs to its end whatever happens, a cancellation included.
    const auto quietly = [&](const std::u16string& info, int persent) {
        try {
            report(job, info, persent);
        } catch (const EUserCancel&) {
        }
    };
    quietly(u"", 0);
    try {
        RestoreWordOptions(session);
        session.WordApp.call(u"Quit", {false});
    } catch (const std::exception&) {
        // Word that never started, or refuses an option: nothing more to restore.
    }
    std::error_code ec;
    if (!session.TempDocument.empty()) std::filesystem::remove(toPath(session.TempDocument), ec);
    if (!job.rootFolder.empty()) DeleteFolder(job.rootFolder);
    session.Filter.RevokeFilter();
    quietly(u"", 0);
}

void OutputWord(TChmToDocPDF& job, const WordStageOptions& options) {
    TWordSession session;
    try {
        StartWordSession(session, job);
        report(job, tr16(QT_TRANSLATE_NOOP("quillet", "创建文件...")), 20);
        session.Doc = session.WordApp.at(u"Documents").call(u"Add").toObject();
        SetupPage(session, job);
        session.Doc.at(u"WebOptions").put(u"AllowPNG", true);
        session.Doc.at(u"WebOptions").put(u"TargetBrowser", 4);
        session.Doc.at(u"Bookmarks").put(u"ShowHidden", true);
        session.Doc.at(u"WebOptions").put(u"AllowPNG", true);
        ApplyHeadingStyles(session, job);
        ApplyEastAsianFont(session, job);
        UnlinkListTemplates(session);
        const int count = static_cast<int>(job.List.size());
        job.max = count;
        // An empty contents tree makes a document of cover and contents only.
        const double step = count > 0 ? 60.0 / count : 0.0;
        session.InsertRange = session.Doc.at(u"Content");
        PageReadAhead readAhead(session, job);
        session.MarkIndex = wantsIndex(job);
        if (job.Settings->Cover) AddCover(session, job);
        if (job.Settings->Toc) AddContents(session, job);
        for (int n = 0; n < count; ++n) {
            const TTitleList& entry = job.List[static_cast<std::size_t>(n)];
            report(job,
                   tr16(QT_TRANSLATE_NOOP("quillet", "Processing (%1 of %2) %3..."),
                        {decimal(n + 1), decimal(count), entry.Url}),
                   roundHalfEven(n * step) + 20);
            if (startsNewPage(job, entry) && n > 0) {
                session.InsertRange.call(u"collapse", {0});
                session.InsertRange.call(u"InsertParagraphAfter");
                session.InsertRange.call(u"collapse", {0});
                session.InsertRange.call(u"InsertBreak", {2});
            }
            AddEntryHeading(session, job, entry);
            readAhead.through(n + kPagesAhead);
            if (const auto page = readAhead.pageOf(n)) {
                ImportTopicPage(session, *page);
            } else if (entry.Status == 3) {
                AddExternalLink(session, entry);
            } else {
                // No page: the paragraph the heading left for it is the next heading's, or stays
                // empty at the end; either way it is no heading of its own.
                session.InsertRange.call(u"collapse", {0});
                session.InsertRange.put(u"Style", -1);
            }
            if (n > 500 && n % 200 == 0) RefreshDocument(session, job);
        }
        if (session.MarkIndex) AddIndex(session);
        RefreshDocument(session, job);
        FitPictures(session, job);
        AddHeaderFooter(session, job);
        UpdateContents(session, job);
        SaveOutput(session, job);
    } catch (const std::exception& e) {
        try {
            report(job, tr16(QT_TRANSLATE_NOOP("quillet", "失败。")), 0);
            job.Failed = true;
            job.FOnError(fromUtf8(e.what()));
        } catch (const EUserCancel&) {
            // A cancellation is no failure to report.
        }
    }
    EndWordSession(session, job);
    FinishRun(session, job, options);
}

WordStage wordStage(WordStageOptions options) {
    return [options = std::move(options)](TChmToDocPDF& job) { OutputWord(job, options); };
}

}  // namespace quillet
