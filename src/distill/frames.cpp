// Framesets shown as pages: a topic made of frames becomes one page holding its frames' bodies.

#include "distill/chm_distill.h"

#include "platform/ascii.h"
#include "platform/case_insensitive_path.h"
#include "text/html_text.h"
#include "text/paths.h"

#include <algorithm>
#include <functional>
#include <unordered_set>

namespace quillet {

namespace {

// How deep framesets may nest in one another's frames before the rest is left out.
constexpr int kDeepestFrameset = 8;
// How many frames one topic shows at most: framesets whose frames name further framesets would
// otherwise multiply at each level.
constexpr std::size_t kMostFramesShown = 256;

// Written first in a page built here: its text gathers other pages, whatever their encodings.
constexpr std::u16string_view kUtf8Declaration =
    u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">";

std::u16string folderOf(std::u16string_view path) {
    const std::size_t slash = path.find_last_of(u"/\\");
    return std::u16string(slash == std::u16string_view::npos ? std::u16string_view()
                                                             : path.substr(0, slash + 1));
}

// Where the first tag named `name` starts; npos when there is none.
std::size_t findTag(std::u16string_view text, std::u16string_view name) {
    for (std::size_t at = text.find(u'<'); at != std::u16string_view::npos;
         at = text.find(u'<', at + 1)) {
        const std::u16string_view rest = text.substr(at + 1);
        if (rest.size() > name.size() &&
            equalsIgnoringAsciiCase(rest.substr(0, name.size()), name) &&
            (isWhiteSpace(rest[name.size()]) || rest[name.size()] == u'>' ||
             rest[name.size()] == u'/'))
            return at;
    }
    return std::u16string_view::npos;
}

// Whether a link is relative to the page it stands in: no scheme, no root, not an anchor alone.
bool isRelativeLink(std::u16string_view link) {
    if (link.empty() || link.front() == u'#' || link.front() == u'/' || link.front() == u'\\')
        return false;
    const std::size_t colon = link.find(u':');
    return colon == std::u16string_view::npos || colon > link.find_first_of(u"/\\#?");
}

}  // namespace

std::u16string TCHMDistill::ShowFrames(const std::u16string& text, const std::u16string& page) {
    std::vector<std::u16string> within;            // folded paths of the framesets being shown
    std::unordered_set<std::u16string> shownHere;  // folded paths of the frames this topic shows
    const std::function<std::u16string(const std::u16string&, const std::u16string&)> show =
        [&](const std::u16string& pageText, const std::u16string& path) -> std::u16string {
        const std::size_t frameset = findTag(pageText, u"frameset");
        if (frameset == std::u16string::npos) return pageText;
        std::vector<std::u16string> frames;
        scanAttributes(
            pageText.substr(frameset), nullptr,
            [&](const std::u16string& tag, const std::u16string& name,
                const std::u16string& value) {
                if (equalsIgnoringAsciiCase(tag, u"frame") && equalsIgnoringAsciiCase(name, u"src"))
                    frames.push_back(value);
                return std::u16string();
            });
        within.push_back(foldCase(path));
        std::u16string body;
        for (const std::u16string& src : frames) {
            const std::u16string link = ProcessDecompiledUrl(src, path);
            std::u16string target, anchor;
            SplitUrlAnchor(link.substr(0, link.find(u'?')), target, anchor);
            if (target.empty() || target.find(u':') != std::u16string::npos) continue;
            const std::u16string file = NormalizePath(folderOf(path) + target);
            if (!workingFiles.fileInside(file, rootFolder)) continue;
            if (std::find(within.begin(), within.end(), foldCase(file)) != within.end()) continue;
            if (within.size() > kDeepestFrameset) continue;
            // Each frame page once per topic, and no more than the topic can sensibly hold.
            if (shownHere.size() >= kMostFramesShown || !shownHere.insert(foldCase(file)).second)
                continue;
            pulse();
            m_shownFrames.add(file);
            std::u16string frameBody =
                SplitHtmlBody(show(workingFiles.read(file, rootFolder), file)).Body;
            // The frame's links are relative to the frame's page; here they stand in this one.
            if (foldCase(folderOf(file)) != foldCase(folderOf(path))) {
                std::u16string rebased;
                scanAttributes(frameBody, &rebased,
                               [&](const std::u16string&, const std::u16string& name,
                                   const std::u16string& value) {
                                   if (!IsUrlAttribute(name) || !isRelativeLink(value))
                                       return value;
                                   return RelativeUrl(path, NormalizePath(folderOf(file) + value));
                               });
                frameBody = std::move(rebased);
            }
            body += u"\n<div>" + frameBody + u"</div>";
        }
        within.pop_back();
        const std::u16string title = GetHtmlTitle(pageText.substr(0, frameset));
        return std::u16string(kUtf8Declaration) + u"<html><head><title>" + title +
               u"</title></head><body>" + body + u"\n</body></html>";
    };
    return show(text, page);
}

std::u16string TCHMDistill::readShowingFrames(const std::u16string& page) {
    const std::optional<WorkingFiles::File> file = workingFiles.locate(page, rootFolder);
    if (!file) return {};
    std::u16string text = workingFiles.read(*file);
    std::u16string shown = ShowFrames(text, page);
    if (shown == text) return text;
    workingFiles.write(shown, *file);
    return shown;
}

}  // namespace quillet
