#include "distill/chm_distill.h"

#include "platform/translation.h"
#include "platform/utf.h"
#include "text/html_text.h"
#include "text/paths.h"

#include <array>
#include <stdexcept>

namespace quillet {

namespace {

std::u16string decimal(long long n) {
    return fromUtf8(std::to_string(n));
}

}  // namespace

void TCHMDistill::report(const std::u16string& info, int persent) {
    if (FOnChange) FOnChange(info, persent);
}

void TCHMDistill::pulse() {
    // Ten times a second is quick enough for a cancel and costs nothing next to the pages.
    constexpr auto kInterval = std::chrono::milliseconds(100);
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastPulse < kInterval) return;
    m_lastPulse = now;
    report(u"", 0);
}

void TCHMDistill::releaseStageData() {
    Files = {};
    NonTocicFiles = {};
    CSSFiles = {};
    m_shownFrames = {};
    m_titleEnding.clear();
    TopicList.clear();
}

void TCHMDistill::Execute() {
    // What a stage that does not finish leaves unwritten is dropped.
    struct DropUnflushed {
        WorkingFiles& files;
        ~DropUnflushed() { files.discard(); }
    } dropUnflushed{workingFiles};
    workingFiles.hold(holdLimit);
    report(tr16(QT_TRANSLATE_NOOP("quillet", "Analyzing...")), 5);
    ProcessTocLink();
    UnpackWebArchives();
    const bool fromLinks = contentsMissing();
    if (fromLinks) ContentsFromLinks();
    FillFileList();
    checkEntryCount(Files.size(), "pages");
    if (fromLinks) GatherUnlinkedPages();
    ChangeCSS();
    report(tr16(QT_TRANSLATE_NOOP("quillet", "Preparing to distill pages...")), 10);
    RemoveSame();
    NonTocFileToToc();
    checkEntryCount(List.size(), "contents entries and pages");
    GetChapterNumber();
    GetBookmark();
    List.initializeUrls();
    report(tr16(QT_TRANSLATE_NOOP("quillet", "Distilling pages...")), 15);
    DistillPages();
    ProcessTocLink2();
    workingFiles.flush();
}

void TCHMDistill::FillFileList() {
    Files.clear();
    CSSFiles.clear();
    for (std::size_t n = 0; n < List.size(); ++n) {
        TTitleList& entry = List[n];
        if (entry.Status != 0) continue;
        std::u16string page, anchor;
        SplitUrlAnchor(entry.Url, page, anchor);
        if (!workingFiles.inside(rootFolder + page, rootFolder)) continue;
        Files.add(rootFolder + page, &entry);
    }
    // Following links may add pages elsewhere, never to Files, so the walk is stable.
    for (std::size_t n = 0; n < Files.size(); ++n) {
        pulse();
        GetLinkPages(Files[n].text);
    }
    // The links are judged; what they led to need not be kept.
    workingFiles.forgetLookups();
}

void TCHMDistill::NonTocFileToToc() {
    if (Discard || NonTocicFiles.empty()) return;
    TTitleList& heading = List.add();
    heading.Topic = Addenda;
    heading.Level = 0;
    heading.Status = 2;
    for (std::size_t n = 0; n < NonTocicFiles.size(); ++n) {
        pulse();
        auto& line = NonTocicFiles[n];
        std::u16string title = withoutTitleEnding(
            TrimWhiteSpace(GetHtmlTitle(workingFiles.read(line.text, rootFolder))), m_titleEnding);
        if (title.empty())
            if (const TChmTopicFile* topic = TopicList.GetItemByFilename(line.text))
                title = topic->Title3;
        TTitleList& entry = List.add();
        entry.Topic = title;
        entry.Level = 1;
        entry.Url = line.text.size() >= rootFolder.size()
                        ? line.text.substr(rootFolder.size())
                        : RelativeUrl(rootFolder + u"x", line.text);
        entry.Status = 0;
        line.object = &entry;
    }
}

void numberChapters(TTitleLists& list) {
    std::array<long long, 9> counters{};
    for (std::size_t n = 0; n < list.size(); ++n) {
        TTitleList& entry = list[n];
        if (entry.Level >= 0 && entry.Level <= 8) {
            const auto level = static_cast<std::size_t>(entry.Level);
            ++counters[level];
            for (std::size_t deeper = level + 1; deeper < counters.size(); ++deeper)
                counters[deeper] = 0;
        }
        std::u16string number;
        if (counters[0] > 0) number += decimal(counters[0]);
        number += counters[1] > 0 ? u"." + decimal(counters[1]) : u".";
        for (std::size_t k = 2; k < counters.size(); ++k)
            if (counters[k] > 0) number += u"." + decimal(counters[k]);
        entry.ChapterNumber = std::move(number);
    }
}

void TCHMDistill::GetChapterNumber() {
    numberChapters(List);
}

void TCHMDistill::GetBookmark() {
    for (std::size_t n = 0; n < List.size(); ++n)
        List[n].Bookmark = u"Bookmark" + decimal(static_cast<long long>(n));
}

void TCHMDistill::DistillPages() {
    SortedStringList<TTitleList> pages;
    for (std::size_t n = 0; n < List.size(); ++n)
        if (!List[n].Url.empty()) pages.add(List[n].Url, &List[n]);
    for (const auto& page : pages) {
        pulse();
        workingFiles.rewrite(rootFolder + page.text, rootFolder, [&](const std::u16string& text) {
            return StyleNormaliser(ChangeUrlBookmark(text, *page.object));
        });
    }
    // The split part files get the same treatment, so that their links lead into the document
    // too. Their anchors are named after the page's own entry, as links into the page are.
    for (std::size_t n = 0; n < TopicList.size(); ++n) {
        const TChmTopicFile& topic = TopicList[n];
        if (topic.QuoteCount <= 1 || topic.Filename.size() <= rootFolder.size()) continue;
        const std::u16string page = topic.Filename.substr(rootFolder.size());
        for (int part = 0; part < topic.Bookmarks.Count(); ++part) {
            pulse();
            const TTitleList* base = List.GetItemByUrl(page);
            if (base == nullptr)
                base = List.GetItemByUrl(page + u"#" + topic.Bookmarks.Items(part).Name);
            if (base == nullptr) continue;
            workingFiles.rewrite(topic.partFileName(part), rootFolder,
                                 [&](const std::u16string& text) {
                                     return StyleNormaliser(ChangeUrlBookmark(text, *base));
                                 });
        }
    }
}

}  // namespace quillet
