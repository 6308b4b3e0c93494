// Contents for a help file that has none: the tree of pages the default topic's links reach.

#include "distill/chm_distill.h"

#include "distill/web_archive.h"
#include "platform/case_insensitive_path.h"
#include "platform/utf.h"
#include "text/entities.h"
#include "text/html_text.h"
#include "text/paths.h"

#include <algorithm>
#include <filesystem>
#include <unordered_set>

namespace quillet {

namespace {

// The deepest level an entry takes: chapter numbers count nine levels, 0 to 8.
constexpr int kDeepestLevel = 8;

bool isSeparator(char16_t c) {
    return isWhiteSpace(c) ||
           std::u16string_view(u"|-:\u2013\u2014\u00B7\u2022").find(c) != std::u16string_view::npos;
}

// The file name without its folder and extension: the title of a page without one.
std::u16string stemOf(const std::u16string& path) {
    const std::size_t slash = path.find_last_of(u"/\\");
    std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
    if (const std::size_t dot = name.rfind(u'.'); dot != std::u16string::npos && dot > 0)
        name.erase(dot);
    return name;
}

}  // namespace

void trimSharedTitleSuffix(std::vector<std::u16string>& titles) {
    if (titles.size() < 2) return;
    // The longest ending all titles share.
    std::size_t shared = titles.front().size();
    for (const std::u16string& title : titles) {
        const std::u16string& first = titles.front();
        std::size_t n = 0;
        while (n < shared && n < title.size() &&
               title[title.size() - 1 - n] == first[first.size() - 1 - n])
            ++n;
        shared = n;
    }
    // It must begin with white space, so that it is words of its own and not the end of one.
    const std::u16string& first = titles.front();
    std::u16string_view ending = std::u16string_view(first).substr(first.size() - shared);
    while (!ending.empty() && !isWhiteSpace(ending.front())) ending.remove_prefix(1);
    if (TrimWhiteSpace(ending).empty()) return;
    for (std::u16string& title : titles) {
        std::u16string_view kept =
            std::u16string_view(title).substr(0, title.size() - ending.size());
        while (!kept.empty() && isSeparator(kept.back())) kept.remove_suffix(1);
        if (!kept.empty()) title = std::u16string(kept);
    }
}

bool TCHMDistill::contentsMissing() const {
    return hhcFile.empty() && List.size() == 1 && List[0].Status == 0 && !List[0].Url.empty();
}

void TCHMDistill::ContentsFromLinks() {
    std::u16string rootPage, anchor;
    SplitUrlAnchor(List[0].Url, rootPage, anchor);
    const std::u16string rootFile = NormalizePath(rootFolder + rootPage);
    if (!workingFiles.fileInside(rootFile, rootFolder)) return;

    struct Found {
        std::u16string file;
        int level = 0;
        std::u16string title;
    };
    std::vector<Found> found;
    std::unordered_set<std::u16string> seen;  // folded paths of the pages met
    // The pages being walked, root first: each with the pages it links to and the next to take.
    struct Visit {
        std::vector<std::u16string> links;
        std::size_t next = 0;
        int level = 0;
    };
    std::vector<Visit> walk;
    const auto enter = [&](const std::u16string& file, int level) {
        pulse();
        const std::u16string text = readShowingFrames(file);
        found.push_back({file, level, CollapseWhiteSpace(DecodeEntities(GetHtmlTitle(text)))});
        walk.push_back({linkedPages(text, file), 0, level});
    };
    seen.insert(foldCase(rootFile));
    enter(rootFile, 0);
    while (!walk.empty()) {
        Visit& visit = walk.back();
        if (visit.next == visit.links.size()) {
            walk.pop_back();
            continue;
        }
        const std::u16string file = std::move(visit.links[visit.next++]);
        const int level = std::min(visit.level + 1, kDeepestLevel);
        if (seen.insert(foldCase(file)).second) enter(file, level);
    }

    std::vector<std::u16string> titles;
    for (const Found& page : found)
        titles.push_back(page.title.empty() ? stemOf(page.file) : page.title);
    trimSharedTitleSuffix(titles);
    // The default topic keeps the help file's title when its page has none.
    if (!found.front().title.empty()) List[0].Topic = titles.front();
    List[0].Url = found.front().file.substr(rootFolder.size());
    for (std::size_t n = 1; n < found.size(); ++n) {
        TTitleList& entry = List.add();
        entry.Topic = titles[n];
        entry.Level = found[n].level;
        entry.Url = found[n].file.substr(rootFolder.size());
        entry.Status = 0;
        entry.ContextNumber = fromUtf8(std::to_string(1000 + n));
    }
}

void TCHMDistill::GatherUnlinkedPages() {
    std::vector<std::u16string> pages;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(toPath(rootFolder), ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        const std::u16string extension = fromPath(it->path().extension());
        if (it->is_regular_file(ec) &&
            (IsHtmlExtension(extension) || isWebArchiveExtension(extension)))
            pages.push_back(fromPath(it->path()));
    }
    std::sort(pages.begin(), pages.end());
    for (const std::u16string& page : pages) {
        if (Files.contains(page) || NonTocicFiles.contains(page) || m_shownFrames.contains(page))
            continue;
        if (!workingFiles.fileInside(page, rootFolder)) continue;
        NonTocicFiles.add(page);
        GetLinkPages(page);
    }
    workingFiles.forgetLookups();
}

}  // namespace quillet
