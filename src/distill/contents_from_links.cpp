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
#include <unordered_map>

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

std::u16string withoutTitleEnding(const std::u16string& title, std::u16string_view ending) {
    if (ending.empty() || title.size() <= ending.size() || !title.ends_with(ending)) return title;
    std::u16string_view kept = std::u16string_view(title).substr(0, title.size() - ending.size());
    while (!kept.empty() && isSeparator(kept.back())) kept.remove_suffix(1);
    return kept.empty() ? title : std::u16string(kept);
}

namespace {

// The longest ending, made of words of its own and led by a separator mark (" | Product v1",
// " - Guide"), that at least `needed` of `titles` have; empty for none. Endings longer than
// kLongestEnding characters are not considered, so the cost stays in proportion to the titles.
std::u16string majorityEnding(const std::vector<std::u16string>& titles, std::size_t needed) {
    constexpr std::size_t kLongestEnding = 80;
    constexpr std::u16string_view kMarks = u"|-:([\u2013\u2014\u00B7\u2022";
    std::unordered_map<std::u16string_view, std::size_t> counts;
    for (const std::u16string& title : titles) {
        const std::u16string_view view(title);
        const std::size_t from = view.size() > kLongestEnding ? view.size() - kLongestEnding : 1;
        for (std::size_t p = std::max<std::size_t>(from, 1); p < view.size(); ++p) {
            // The ending starts at the white space before its mark: each title counts once.
            if (!isWhiteSpace(view[p]) || isWhiteSpace(view[p - 1])) continue;
            std::size_t mark = p;
            while (mark < view.size() && isWhiteSpace(view[mark])) ++mark;
            if (mark == view.size() || kMarks.find(view[mark]) == std::u16string_view::npos)
                continue;
            ++counts[view.substr(p)];
        }
    }
    std::u16string_view best;
    for (const auto& [ending, count] : counts)
        if (count >= needed && !TrimWhiteSpace(ending).empty() &&
            (ending.size() > best.size() || (ending.size() == best.size() && ending < best)))
            best = ending;
    return std::u16string(best);
}

}  // namespace

std::u16string trimSharedTitleSuffix(std::vector<std::u16string>& titles) {
    if (titles.size() < 2) return {};
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
    std::u16string_view view = std::u16string_view(first).substr(first.size() - shared);
    while (!view.empty() && !isWhiteSpace(view.front())) view.remove_prefix(1);
    std::u16string ending(view);
    // Else an ending that most titles share, set off by a separator: a few pages titled
    // otherwise do not keep it on all the rest.
    if (TrimWhiteSpace(ending).empty())
        ending = majorityEnding(titles, (titles.size() * 4 + 4) / 5);
    if (TrimWhiteSpace(ending).empty()) return {};
    for (std::u16string& title : titles) title = withoutTitleEnding(title, ending);
    return ending;
}

bool TCHMDistill::contentsMissing() const {
    return hhcFile.empty() && List.size() == 1 && List[0].Status == 0 && !List[0].Url.empty();
}

void TCHMDistill::ContentsFromLinks() {
    std::u16string rootPage, anchor;
    SplitUrlAnchor(List[0].Url, rootPage, anchor);
    const std::u16string rootFile = NormalizePath(rootFolder + rootPage);
    if (!workingFiles.fileInside(rootFile, rootFolder)) return;

    struct Page {
        std::u16string file;
        std::u16string linkText;  // of the first link to it that has a text
        int depth = 0;
        std::u16string title;
        std::vector<std::size_t> children;  // in the order their links stand
    };
    std::vector<Page> pages{{rootFile, {}, 0, {}, {}}};
    std::unordered_map<std::u16string, std::size_t> known{{foldCase(rootFile), 0}};
    // Breadth first, so that a page is met first at its link depth, through the first page of
    // the level above that links to it; each page is read once.
    for (std::size_t n = 0; n < pages.size(); ++n) {
        pulse();
        const std::u16string file = pages[n].file;
        const std::u16string text = readShowingFrames(file);
        pages[n].title = CollapseWhiteSpace(DecodeEntities(GetHtmlTitle(text)));
        for (PageLink& link : linkedPages(text, file)) {
            if (!link.file.starts_with(rootFolder)) continue;
            const auto [at, added] = known.emplace(foldCase(link.file), pages.size());
            if (!added) {
                // A page first reached through a picture's area takes the first link text.
                if (Page& met = pages[at->second]; met.linkText.empty()) met.linkText = link.text;
                continue;
            }
            const int depth = pages[n].depth + 1;
            pages[n].children.push_back(pages.size());
            pages.push_back({std::move(link.file), std::move(link.text), depth, {}, {}});
        }
    }

    // The entries in reading order: depth first through that tree.
    std::vector<std::size_t> order;
    order.reserve(pages.size());
    for (std::vector<std::size_t> stack{0}; !stack.empty();) {
        const std::size_t n = stack.back();
        stack.pop_back();
        order.push_back(n);
        stack.insert(stack.end(), pages[n].children.rbegin(), pages[n].children.rend());
    }

    // Titles: the title elements without their shared ending; one that other pages share too
    // names none of them, and the first link's text does better.
    std::vector<std::u16string> titled;
    for (const Page& page : pages)
        if (!page.title.empty()) titled.push_back(page.title);
    m_titleEnding = trimSharedTitleSuffix(titled);
    std::unordered_map<std::u16string, int> uses;
    for (std::size_t n = 0, t = 0; n < pages.size(); ++n) {
        if (pages[n].title.empty()) continue;
        pages[n].title = titled[t++];
        ++uses[pages[n].title];
    }
    const auto titleOf = [&](const Page& page) {
        if (!page.title.empty() && uses[page.title] == 1) return page.title;
        if (!page.linkText.empty()) return page.linkText;
        return page.title.empty() ? stemOf(page.file) : page.title;
    };
    // The default topic keeps the help file's title unless its page has one of its own.
    if (!pages[0].title.empty() && uses[pages[0].title] == 1) List[0].Topic = pages[0].title;
    List[0].Url = rootFile.substr(rootFolder.size());
    for (std::size_t k = 1; k < order.size(); ++k) {
        const Page& page = pages[order[k]];
        TTitleList& entry = List.add();
        entry.Topic = titleOf(page);
        entry.Level = std::min(page.depth, kDeepestLevel);
        entry.Url = page.file.substr(rootFolder.size());
        entry.Status = 0;
        entry.ContextNumber = fromUtf8(std::to_string(1000 + k));
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
