// Link rewriting: contents addresses made relative to the working folder, page links made to
// work inside it (other help files unpacked beside it), and links between topics turned into
// links to the bookmarks of the final document.

#include "distill/chm_distill.h"

#include "distill/html_tags.h"
#include "distill/web_archive.h"
#include "platform/ascii.h"
#include "platform/case_insensitive_path.h"
#include "platform/utf.h"
#include "text/entities.h"
#include "text/html_text.h"
#include "text/paths.h"
#include "text/text_files.h"

#include <filesystem>
#include <optional>

namespace quillet {

namespace {

// The part after the last "/" or "\".
std::u16string fileNameOf(std::u16string_view path) {
    const std::size_t slash = path.find_last_of(u"/\\");
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

// The part up to and including the last "/" or "\".
std::u16string folderOf(std::u16string_view path) {
    const std::size_t slash = path.find_last_of(u"/\\");
    return std::u16string(slash == std::u16string_view::npos ? std::u16string_view()
                                                             : path.substr(0, slash + 1));
}

// From the last "." of the whole text; empty when none.
std::u16string extensionOf(std::u16string_view text) {
    const std::size_t dot = text.rfind(u'.');
    return std::u16string(dot == std::u16string_view::npos ? std::u16string_view()
                                                           : text.substr(dot));
}

std::u16string replaceAll(std::u16string text, std::u16string_view from, std::u16string_view to) {
    for (std::size_t at = text.find(from); at != std::u16string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The help file `name` (a file name, no folder) in `folder`, found without regard to letter case.
std::optional<std::u16string> helpFileBeside(const std::u16string& folder,
                                             const std::u16string& name) {
    if (name.empty() || name == u"." || name == u"..") return std::nullopt;
    const auto found = findExistingPath(toPath(NormalizePath(folder + name)));
    std::error_code ec;
    if (!found || !std::filesystem::is_regular_file(*found, ec)) return std::nullopt;
    return fromPath(*found);
}

// Whether `path` names a folder, found without regard to letter case: one status query for a
// path spelled as it is on disk.
bool namesFolder(const std::u16string& path) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(toPath(path), ec);
    if (std::filesystem::exists(status)) return std::filesystem::is_directory(status);
    const auto found = findExistingPath(toPath(path));
    return found && std::filesystem::is_directory(*found, ec);
}

std::u16string decimal(long long n) {
    return fromUtf8(std::to_string(n));
}

// Pages: the HTML extensions, and web archives, which the stage unpacks into HTML in place.
bool isPageExtension(std::u16string_view extension) {
    return IsHtmlExtension(extension) || isWebArchiveExtension(extension);
}

}  // namespace

bool TCHMDistill::IsOutOfRootfolder(const std::u16string& url) const {
    return quillet::IsOutOfRootfolder(url, rootFolder);
}

void TCHMDistill::ProcessTocLink() {
    for (std::size_t n = 0; n < List.size(); ++n) {
        TTitleList& entry = List[n];
        if (entry.Status != 0) continue;
        if (startsWithIgnoringAsciiCase(entry.Url, u"http://")) {
            entry.Status = 3;
            continue;
        }
        entry.Url = SlashToBackslash(ProcessDecompiledUrl(entry.Url, rootFolder));
        // An address that leads out of the help file, or names a folder, gives a heading
        // without a page.
        std::u16string page, anchor;
        SplitUrlAnchor(entry.Url, page, anchor);
        if (entry.Url.empty() || (!page.empty() && namesFolder(rootFolder + page))) {
            entry.Url.clear();
            entry.Status = 2;
        }
    }
}

std::u16string TCHMDistill::otherHelpFileFolder(const std::u16string& helpFile) {
    const std::u16string name = fileNameOf(helpFile);
    const std::u16string folder = rootFolder + name + u"/";
    std::error_code ec;
    if (!std::filesystem::exists(toPath(folder), ec)) {
        try {
            TCHMDecompile other;
            other.LoadFromCHM(helpFile);
            other.rootFolder = folder;
            other.decompile();
        } catch (const std::exception&) {
            // A help file that cannot be unpacked gives links that lead nowhere, as a missing one.
        }
        workingFiles.forgetLookups();
    }
    return name;
}

std::u16string TCHMDistill::ProcessDecompiledUrl(const std::u16string& Url,
                                                 const std::u16string& CurrentUrl) {
    std::u16string D = trimControls(Url);
    const std::u16string& source = OriginalFile.empty() ? chmFile : OriginalFile;
    const std::u16string ownName = fileNameOf(source);
    for (const std::u16string_view prefix :
         {std::u16string_view(u"ms-its:"), std::u16string_view(u"mk:@msitstore:")}) {
        if (!startsWithIgnoringAsciiCase(D, prefix)) continue;
        const std::size_t separator = D.find(u"::", prefix.size());
        if (separator == std::u16string::npos) continue;
        // The help file may be named with its folder, "\" written as %5C.
        const std::u16string helpFile = fileNameOf(
            replaceAll(D.substr(prefix.size(), separator - prefix.size()), u"%5C", u"\\"));
        const std::u16string rest = D.substr(separator + 2);
        if (equalsIgnoringAsciiCase(helpFile, ownName)) {
            D = rest;
        } else if (const auto beside =
                       LinkedHelp ? helpFileBeside(folderOf(source), helpFile) : std::nullopt) {
            D = u"/" + otherHelpFileFolder(*beside) + rest;
        } else {
            D.clear();
        }
    }
    if (D.size() <= 2) return confinedUrl(D, CurrentUrl);
    if (D[0] == u'/' || D[0] == u'\\') {
        // Rooted at the top of the help file; one that climbs out of it is cut to its file name,
        // as a relative one is.
        const std::u16string target = NormalizePath(rootFolder + D.substr(1));
        if (IsOutOfRootfolder(target)) return confinedUrl(fileNameOf(D), CurrentUrl);
        return confinedUrl(RelativeUrl(CurrentUrl, target), CurrentUrl);
    }
    if (D[1] == u':') return confinedUrl(fileNameOf(D), CurrentUrl);
    if (D.find(u"..") != std::u16string::npos && IsOutOfRootfolder(folderOf(CurrentUrl) + D))
        return confinedUrl(fileNameOf(D), CurrentUrl);
    return confinedUrl(D, CurrentUrl);
}

std::u16string TCHMDistill::confinedUrl(const std::u16string& Url,
                                        const std::u16string& CurrentUrl) const {
    // Web addresses, mail and script links lead to no file here; "file:" ones name files of
    // this machine, which a help file has no business pointing at.
    const std::size_t colon = Url.find(u':');
    if (colon != std::u16string::npos && colon < Url.find_first_of(u"/\\"))
        return startsWithIgnoringAsciiCase(Url, u"file:") ? std::u16string() : Url;
    std::u16string page, anchor;
    SplitUrlAnchor(Url.substr(0, Url.find(u'?')), page, anchor);
    if (page.empty() || workingFiles.inside(folderOf(CurrentUrl) + page, rootFolder)) return Url;
    return {};
}

std::u16string TCHMDistill::ProcessSCR(const std::u16string& S, const std::u16string& CurrentUrl) {
    std::u16string out;
    out.reserve(S.size() + S.size() / 16);
    scanAttributes(
        S, &out,
        [&](const std::u16string&, const std::u16string& name, const std::u16string& value) {
            if (equalsIgnoringAsciiCase(name, u"media") &&
                equalsIgnoringAsciiCase(value, u"screen"))
                return std::u16string(u"all");
            if (IsUrlAttribute(name)) return ProcessDecompiledUrl(value, CurrentUrl);
            return value;
        });
    return out;
}

bool TCHMDistill::GetLinkPages(const std::u16string& f) {
    // Pages found through links are followed from a work list, not by recursion, so a long
    // chain of linked pages cannot exhaust the stack.
    std::vector<std::u16string> toVisit{f};
    while (!toVisit.empty()) {
        pulse();
        const std::u16string page = std::move(toVisit.back());
        toVisit.pop_back();
        std::u16string text;
        workingFiles.rewrite(page, rootFolder, [&](const std::u16string& old) {
            text = ProcessSCR(ShowFrames(old, page), page);
            return std::u16string_view(text);
        });
        const std::u16string baseFolder = folderOf(page);
        std::vector<std::u16string> found;
        scanAttributes(
            text, nullptr,
            [&](const std::u16string&, const std::u16string& name, const std::u16string& value) {
                if (IsUrlAttribute(name)) addLinkedFile(value, baseFolder, found);
                return std::u16string();
            });
        // Depth first, in the order the links stand.
        toVisit.insert(toVisit.end(), found.rbegin(), found.rend());
    }
    return true;
}

void TCHMDistill::addLinkedFile(const std::u16string& Link, const std::u16string& baseFolder,
                                std::vector<std::u16string>& toVisit) {
    // The file a link names, without the query and the anchor after it ("x.htm#part").
    std::u16string target, anchor;
    SplitUrlAnchor(Link.substr(0, Link.find(u'?')), target, anchor);
    const std::u16string extension = extensionOf(target);
    const bool page = isPageExtension(extension);
    if (!page && !equalsIgnoringAsciiCase(extension, u".css")) return;
    // Only files of this help file: a link that leads out of the working folder is not followed.
    const std::u16string file = NormalizePath(baseFolder + target);
    if (!workingFiles.fileInside(file, rootFolder)) return;
    if (!page) {
        CSSFiles.add(file);
    } else if (!Files.contains(file) && !NonTocicFiles.contains(file)) {
        NonTocicFiles.add(file);
        toVisit.push_back(file);
    }
}

std::vector<TCHMDistill::PageLink> TCHMDistill::linkedPages(const std::u16string& text,
                                                            const std::u16string& page) {
    const std::u16string baseFolder = folderOf(page);
    // The page of this help file a link's href leads to.
    const auto pageOf = [&](const std::u16string& tagText) -> std::optional<std::u16string> {
        std::u16string href;
        bool found = false;
        scanAttributes(
            tagText, nullptr,
            [&](const std::u16string&, const std::u16string& name, const std::u16string& value) {
                if (!found && equalsIgnoringAsciiCase(name, u"href")) {
                    href = value;
                    found = true;
                }
                return std::u16string();
            });
        if (!found) return std::nullopt;
        const std::u16string link = ProcessDecompiledUrl(href, page);
        std::u16string target, anchor;
        SplitUrlAnchor(link.substr(0, link.find(u'?')), target, anchor);
        if (target.empty() || target.find(u':') != std::u16string::npos ||
            !isPageExtension(extensionOf(target)))
            return std::nullopt;
        std::u16string file = NormalizePath(baseFolder + target);
        if (!workingFiles.fileInside(file, rootFolder)) return std::nullopt;
        return file;
    };
    std::vector<PageLink> links;
    std::optional<std::size_t> reading;  // the link whose text is being read
    TagReader reader;
    for (const char16_t c : text) {
        const TagReader::Step step = reader.feed(c);
        if (step == TagReader::Step::Text) {
            if (reading) links[*reading].text += c;
            continue;
        }
        if (step != TagReader::Step::TagEnd) continue;
        const std::optional<ParsedTag> tag = readTagName(reader.name());
        const bool a = tag && equalsIgnoringAsciiCase(tag->name, u"a");
        if (a || (tag && !tag->isEnd && equalsIgnoringAsciiCase(tag->name, u"area"))) {
            reading.reset();
            if (!tag->isEnd) {
                if (std::optional<std::u16string> file = pageOf(reader.text())) {
                    links.push_back({std::move(*file), {}});
                    if (a) reading = links.size() - 1;
                }
            }
        }
        reader.clear();
    }
    for (PageLink& link : links) link.text = CollapseWhiteSpace(DecodeEntities(link.text));
    return links;
}

std::u16string TCHMDistill::changeLinkAttribute(const std::u16string& Name,
                                                const std::u16string& Value, const TTitleList& Base,
                                                std::u16string& chapter) {
    if (equalsIgnoringAsciiCase(Name, u"name")) {
        if (Value.empty()) return Value;
        return Base.Bookmark + u"_" + (Value.front() == u'#' ? Value.substr(1) : Value);
    }
    if (!equalsIgnoringAsciiCase(Name, u"href")) return Value;
    std::u16string page, anchor;
    SplitUrlAnchor(Value, page, anchor);
    const auto anchored = [&](const std::u16string& file, const std::u16string& bookmark) {
        const TChmTopicFile* topic = TopicList.GetItemByFilename(rootFolder + file);
        return topic != nullptr && !anchor.empty() && topic->Anchors.contains(anchor)
                   ? u"#" + bookmark + u"_" + anchor
                   : u"#" + bookmark;
    };
    if (!page.empty()) {
        if (page.find(u':') != std::u16string::npos) return Value;
        const std::u16string target =
            page.front() == u'/' ? SlashToBackslash(page.substr(1))
                                 : NormalizePath(folderOf(Base.Url) + SlashToBackslash(page));
        const TTitleList* entry = List.GetItemByUrl(target);
        if (entry == nullptr) {
            // A file that is no page of the document (a script, a page the help file lacks or
            // leaves out): nothing for the link to land on, so its words stay as plain text.
            chapter.clear();
            return {};
        }
        chapter = entry->ChapterNumber;
        return anchored(target, entry->Bookmark);
    }
    if (!anchor.empty()) return anchored(Base.Url, Base.Bookmark);
    return Value;
}

std::u16string TCHMDistill::ChangeUrlBookmark(const std::u16string& str, const TTitleList& Base) {
    enum class State { Outside, TagName, InA, Value };
    State state = State::Outside;
    std::u16string out, tagName, name, value, chapter;
    out.reserve(str.size() + str.size() / 8);
    char16_t quote = 0;
    bool inA = false;          // in the start tag of an A
    bool hintPending = false;  // an A whose target has a chapter number has just closed
    const auto tagEnds = [&] {
        out += u'>';
        if (hintPending) {
            if (AddHint)
                out += u"(" + replaceIgnoringAsciiCase(HintFormat, u"[Title No.]", chapter) + u")";
            hintPending = false;
            chapter.clear();
        }
        inA = false;
        state = State::Outside;
    };
    for (std::size_t p = 0; p < str.size(); ++p) {
        const char16_t c = str[p];
        switch (state) {
            case State::Outside:
                if (c == u'>') {
                    tagEnds();
                    break;
                }
                out += c;
                if (c == u'<') {
                    tagName.clear();
                    state = State::TagName;
                }
                break;
            case State::TagName:
                if (isBlank(c) || c == u'>') {
                    if (equalsIgnoringAsciiCase(tagName, u"a")) {
                        inA = true;
                        chapter.clear();
                    } else if (equalsIgnoringAsciiCase(tagName, u"/a") && !chapter.empty()) {
                        hintPending = true;
                    }
                    if (c == u'>') {
                        tagEnds();
                    } else {
                        out += c;
                        name.clear();
                        state = inA ? State::InA : State::Outside;
                    }
                } else {
                    tagName += c;
                    out += c;
                }
                break;
            case State::InA:
                if (c == u'>') {
                    tagEnds();
                } else if (isBlank(c)) {
                    // Blanks and line breaks may stand between a name and its "=". The run of
                    // blanks is copied whole: looking ahead from each would cost quadratic time.
                    std::size_t q = p;
                    while (q < str.size() && isBlank(str[q])) ++q;
                    if (name.empty() || q == str.size() || str[q] != u'=') name.clear();
                    out.append(str, p, q - p);
                    p = q - 1;
                } else if (c == u'=') {
                    out += c;
                    // And between the "=" and the value.
                    while (p + 1 < str.size() && isBlank(str[p + 1])) out += str[++p];
                    quote = 0;
                    if (p + 1 < str.size() && (str[p + 1] == u'"' || str[p + 1] == u'\'')) {
                        quote = str[++p];
                        out += quote;
                    }
                    value.clear();
                    state = State::Value;
                } else {
                    name += c;
                    out += c;
                }
                break;
            case State::Value:
                if (c == u'>' || (quote != 0 ? c == quote : isBlank(c))) {
                    const std::u16string changed = changeLinkAttribute(name, value, Base, chapter);
                    out += quote == 0 && changed.empty() ? std::u16string(u"\"\"") : changed;
                    name.clear();
                    if (c == u'>') {
                        tagEnds();
                    } else {
                        out += c;
                        state = State::InA;
                    }
                } else {
                    value += c;
                }
                break;
        }
    }
    if (state == State::Value) out += value;
    return out;
}

void TCHMDistill::ProcessTocLink2() {
    for (std::size_t n = 0; n < List.size(); ++n) {
        TTitleList& entry = List[n];
        if (entry.Status != 0) continue;
        std::u16string page, anchor;
        SplitUrlAnchor(entry.Url, page, anchor);
        if (anchor.empty()) continue;
        const TChmTopicFile* topic = TopicList.GetItemByFilename(rootFolder + page);
        const int index = topic == nullptr ? -1 : topic->Bookmarks.GetItemIdByName(anchor);
        if (index < 0) {
            // No split part holds this anchor: the page itself is the best there is.
            entry.Url = page;
            continue;
        }
        const std::u16string withoutExtension =
            entry.Url.substr(0, entry.Url.size() - extensionOf(entry.Url).size());
        entry.Url = withoutExtension + u"_" + decimal(index) + extensionOf(page);
    }
}

}  // namespace quillet
