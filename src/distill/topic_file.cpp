#include "distill/topic_file.h"

#include "distill/chm_distill.h"
#include "distill/working_files.h"
#include "platform/ascii.h"
#include "platform/case_insensitive_path.h"
#include "text/entities.h"
#include "text/html_text.h"
#include "text/paths.h"
#include "text/text_files.h"

#include <algorithm>

namespace quillet {

namespace {

// Whether a start tag is a link: an A tag with an href.
bool isLinkTag(std::u16string_view name, std::u16string_view tag) {
    return equalsIgnoringAsciiCase(name, u"a") &&
           lowerAscii(tag).find(u"href") != std::u16string::npos;
}

// A block's text as the walkers compare it: blanks collapsed, entities decoded, ends trimmed.
std::u16string normalizedBlock(std::u16string_view text, bool trimAllControls) {
    const std::u16string decoded = DecodeEntities(CollapseWhiteSpace(text));
    return trimAllControls ? trimControls(decoded) : TrimWhiteSpace(decoded);
}

// The folder a page distilled on its own may read and write in: its own.
std::u16string workingFolderOf(const std::u16string& pageFile) {
    const std::size_t slash = pageFile.find_last_of(u"/\\");
    return slash == std::u16string::npos ? u"./" : pageFile.substr(0, slash + 1);
}

}  // namespace

TChmTopicFile::TChmTopicFile() = default;

TChmTopicFile::TChmTopicFile(const std::u16string& TopicFile, const std::u16string& Title,
                             TCHMDistill* owner)
    : TChmTopicFile(TopicFile, Title, owner,
                    owner != nullptr ? owner->workingFiles.read(TopicFile, owner->rootFolder)
                                     : readWorkingFile(TopicFile, workingFolderOf(TopicFile))) {}

TChmTopicFile::TChmTopicFile(const std::u16string& TopicFile, const std::u16string& Title,
                             TCHMDistill* owner, const std::u16string& PageText)
    : Owner(owner), Filename(TopicFile), Title1(Title) {
    SplitPage page = SplitHtmlBody(PreprocessForSpecialHelpAuthoringTools(PageText));
    BeforeBody = std::move(page.BeforeBody);
    Body = std::move(page.Body);
    AfterBody = std::move(page.AfterBody);
    Title2 = TrimWhiteSpace(DecodeEntities(GetHtmlTitle(BeforeBody)));
    h = static_cast<int>(Body.size());
    L = 0;
    SamePointL = 0;
    SamePointH = static_cast<int>(Body.size());
}

std::u16string TChmTopicFile::PreprocessForSpecialHelpAuthoringTools(const std::u16string& Source) {
    std::u16string text = RemoveBlocks(Source, u"<!-- Script version of NavHeader -->",
                                       u"<!-- End script navheader version -->", u"");
    text = RemoveBlocks(text, u"<!-- NoScript version of navheader -->",
                        u"<!-- End noscript navheader version -->", u"");
    return replaceIgnoringAsciiCase(text, u"mso-outline-level: ", u"mso-out1ine-1evel: ");
}

void TChmTopicFile::IniticalizeTags() {
    Tags.reset();
    CurrentIndex = 0;
}

std::optional<std::u16string> TChmTopicFile::pictureName(std::u16string_view imgTag) {
    const std::u16string path = SlashToBackslash(GetAttributeValue(imgTag, u"src"));
    const std::size_t slash = path.rfind(u'/');
    std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
    if (containsIgnoringAsciiCase(name, u"prev") || containsIgnoringAsciiCase(name, u"next"))
        return std::nullopt;
    return name;
}

int TChmTopicFile::SearchDown() {
    bool resuming = FindText;
    if (FindText) {
        FindText = false;
    } else {
        Text.clear();
        TextHasLink = false;
        TextPictureChars = 0;
    }
    for (; i <= h; ++i) {
        const char16_t c = Body[static_cast<std::size_t>(i - 1)];
        std::optional<ParsedTag> tag;
        if (resuming) {
            // Back at the break tag where the previous call returned its block.
            resuming = false;
            tag = readTagName(TagName);
        } else if (c == u'<') {
            InTag = IsTagName = true;
            TagName.clear();
            TagAll = u"<";
            continue;
        } else if (c == u'>' && InTag) {
            InTag = IsTagName = false;
            TagAll += u'>';
            tag = readTagName(TagName);
            if (!tag) {
                TagAll.clear();
                continue;
            }
            if (!tag->isEnd && equalsIgnoringAsciiCase(tag->name, u"img"))
                if (const auto picture = pictureName(TagAll)) {
                    Text += *picture;
                    TextPictureChars += picture->size();
                }
            if (!tag->isEnd && isLinkTag(tag->name, TagAll)) TextHasLink = true;
            if (IsBreakTag(tag->name)) {
                Text = normalizedBlock(Text, true);
                if (!Text.empty()) {
                    FindText = true;
                    return 0;
                }
            }
        } else if (InTag) {
            if (IsTagName) {
                if (isWhiteSpace(c))
                    IsTagName = false;
                else
                    TagName += c;
            }
            TagAll += c;
            continue;
        } else {
            if (!Tags.top().NonDoc) Text += c;
            continue;
        }
        // The rest of a tag: a break tag moves the cut point past the blocks before it.
        if (IsBreakTag(tag->name)) {
            SamePointL = i - static_cast<int>(TagAll.size()) + 1;
            Text.clear();
            TextHasLink = false;
            TextPictureChars = 0;
        }
        IsStartTag = !tag->isEnd;
        if (!tag->isEnd) {
            if (!IsEmptyTag(tag->name)) {
                Tags.push(tag->name, TagAll);
                CurrentIndex = Tags.Count() - 1;
            }
        } else if (CloseElement(Tags, tag->name, TagAll)) {
            CurrentIndex = Tags.Count() - 1;
        }
        TagAll.clear();
    }
    return 0;
}

int TChmTopicFile::SearchUp() {
    // Text, the tag and its name grow leftwards; they are collected reversed and turned round.
    std::u16string reversedText, reversedTag, reversedName;
    if (FindText) {
        FindText = false;
        SamePointH = i;
        --i;
    }
    Text.clear();
    TextHasLink = false;
    for (; i >= 1; --i) {
        const char16_t c = Body[static_cast<std::size_t>(i - 1)];
        if (c == u'>') {
            InTag = IsTagName = true;
            reversedName.clear();
            reversedTag = u">";
        } else if (c == u'<' && InTag) {
            InTag = IsTagName = false;
            reversedTag += u'<';
            TagAll.assign(reversedTag.rbegin(), reversedTag.rend());
            TagName.assign(reversedName.rbegin(), reversedName.rend());
            reversedTag.clear();
            const std::optional<ParsedTag> tag = readTagName(TagName);
            if (!tag) continue;
            if (!tag->isEnd && equalsIgnoringAsciiCase(tag->name, u"img"))
                if (const auto picture = pictureName(TagAll))
                    reversedText.append(picture->rbegin(), picture->rend());
            if (IsBreakTag(tag->name)) {
                // A link met before this break tag belongs to the block below it.
                const bool linkBelow = TextHasLink;
                TextHasLink = false;
                Text = normalizedBlock(std::u16string(reversedText.rbegin(), reversedText.rend()),
                                       false);
                reversedText.clear();
                if (!Text.empty()) {
                    TextHasLink = linkBelow;
                    FindText = true;
                    return 0;
                }
                SamePointH = i;
            }
            if (!tag->isEnd && isLinkTag(tag->name, TagAll)) TextHasLink = true;
        } else if (InTag) {
            // At the "<" the name holds the tag's first word.
            if (isWhiteSpace(c))
                reversedName.clear();
            else
                reversedName += c;
            reversedTag += c;
        } else {
            reversedText += c;
        }
    }
    Text.assign(reversedText.rbegin(), reversedText.rend());
    return 0;
}

bool TChmTopicFile::IsSimilar(std::u16string_view S1, std::u16string_view S2) {
    return IsSimilarText(S1, S2);
}

namespace {

// Whether the text block `block` is a page's title `title`: similar to it, and not a sentence
// that merely holds the title ("Symbols are used for..." under the title "Symbols"). A title
// with something added ("Symbols (Reference)") still is one; the names of pictures in the block
// (`pictureChars` characters of it) are no words.
bool isTitleBlock(std::u16string_view block, std::size_t pictureChars, std::u16string_view title) {
    const std::size_t words = block.size() - std::min(pictureChars, block.size());
    return words <= 2 * title.size() + 4 && TChmTopicFile::IsSimilar(block, title);
}

}  // namespace

bool TChmTopicFile::TitleFollows() {
    // The walker's state, as a walk resumes from it.
    const bool inTag = InTag, isTagName = IsTagName, isStartTag = IsStartTag, findText = FindText;
    std::u16string tagAll = TagAll, tagName = TagName, text = Text;
    const bool textHasLink = TextHasLink;
    const std::size_t pictureChars = TextPictureChars;
    const int currentIndex = CurrentIndex, position = i, samePointL = SamePointL;
    const THtmlTags tags = Tags;
    SearchDown();
    const bool follows = IsTitle(Text, TextPictureChars);
    InTag = inTag;
    IsTagName = isTagName;
    IsStartTag = isStartTag;
    FindText = findText;
    TagAll = std::move(tagAll);
    TagName = std::move(tagName);
    Text = std::move(text);
    TextHasLink = textHasLink;
    TextPictureChars = pictureChars;
    CurrentIndex = currentIndex;
    i = position;
    SamePointL = samePointL;
    Tags = tags;
    return follows;
}

bool TChmTopicFile::IsTitle(std::u16string_view Str, std::size_t PictureChars) const {
    return isTitleBlock(Str, PictureChars, Title1) || isTitleBlock(Str, PictureChars, Title2);
}

std::u16string TChmTopicFile::Distiller() {
    THtmlTags stack;
    TagReader reader;
    std::u16string blockText, result;
    bool titleSearchOver = false;
    int contentThreshold = 100;
    int titleElement = -1;  // index of the element that held the title; -1 none
    // The summed CharCount of the stack, kept as entries gain weight, fold and go.
    long long stackWeight = 0;

    const auto raiseThreshold = [&](int count) {
        contentThreshold = count + (count <= 300 ? 10 : 60);
    };
    // Folds entry k into k-1: tags kept only for an element that began inside the kept range
    // (or `keepTags`), weight lost under a hidden parent.
    const auto fold = [&](int k, bool keepTags) {
        THtmlTag& child = stack.Items(k);
        THtmlTag& parent = stack.Items(k - 1);
        parent.InnerText.append(std::move(child.InnerText));
        if (child.InTop || keepTags) {
            parent.Inner.append(child.Start);
            parent.Inner.append(std::move(child.Inner));
            parent.Inner.append(child.Tail);
        } else {
            parent.Inner.append(std::move(child.Inner));
        }
        parent.Blocks += child.Blocks;
        stackWeight -= child.CharCount;
        if (parent.Hide) {
            stackWeight -= parent.CharCount;
            parent.CharCount = 0;
        } else {
            parent.CharCount += child.CharCount;
        }
        child.CharCount = 0;
    };
    const auto cutBackTo = [&](int count) {
        for (int k = stack.Count() - 1; k >= count; --k) stackWeight -= stack.Items(k).CharCount;
        stack.setCount(count);
    };

    const int length = static_cast<int>(Body.size());
    for (int p = 1; p <= length; ++p) {
        const char16_t c = Body[static_cast<std::size_t>(p - 1)];
        const TagReader::Step step = reader.feed(c);
        if (step == TagReader::Step::TagStart) {
            // A "<" inside a tag leaves the unfinished tag here as markup.
            if (p > SamePointL) stack.top().Inner.append(reader.unfinished());
            continue;
        }
        if (step == TagReader::Step::InTag) continue;
        if (step == TagReader::Step::Text) {
            if (p < SamePointL || p >= SamePointH) continue;
            THtmlTag& top = stack.top();
            top.InnerText.append(c);
            top.Inner.append(c);
            if (!top.NonDoc) {
                blockText += c;
                if (!isWhiteSpace(c) && !top.Hide) {
                    ++top.CharCount;
                    ++stackWeight;
                }
            }
            continue;
        }

        // ">": the tag is complete.
        const std::u16string& tagText = reader.text();
        const std::optional<ParsedTag> tag = readTagName(reader.name());
        if (!tag) {
            reader.clear();
            continue;
        }
        if (!titleSearchOver && stackWeight > 200) titleSearchOver = true;

        if (IsBreakTag(tag->name)) {
            // A line break makes no block: an inline element around lines stays a phrase.
            if (!equalsIgnoringAsciiCase(tag->name, u"br")) ++stack.top().Blocks;
            const std::u16string block = normalizedBlock(blockText, true);
            // Only the first block of the content may be the page's title: a later line like
            // it ("Labels" under the title "IsLabel") is the page's own text.
            if (!block.empty() && !TitleFound && !titleSearchOver) {
                if (IsTitle(block)) {
                    // Everything collected so far, the title with it, is dropped.
                    TitleFound = true;
                    titleElement = stack.Count() - 1;
                    for (int k = 0; k < stack.Count(); ++k) stack.Items(k).Inner.clear();
                }
                titleSearchOver = true;
            }
            blockText.clear();
        }

        if (!tag->isEnd && IsEmptyTag(tag->name)) {
            if (SamePointL < p && p <= SamePointH) {
                THtmlTag& top = stack.top();
                top.Inner.append(tagText);
                if (equalsIgnoringAsciiCase(tag->name, u"img") && pictureName(tagText) &&
                    !top.Hide) {
                    top.CharCount += 150;
                    stackWeight += 150;
                }
            }
        } else if (!tag->isEnd) {
            const bool hide = containsIgnoringAsciiCase(tagText, u"display:none");
            THtmlTag& pushed = stack.push(tag->name, tagText);
            pushed.Hide = hide;
            pushed.Block = IsBlockTag(tag->name);
            pushed.NotCut = p < SamePointH;
            pushed.InTop = SamePointL < p;
        } else if (const std::optional<int> found = stack.findOpen(tag->name); !found) {
            stack.top().Inner.append(tagText);
        } else {
            const int e = *found;
            THtmlTag& element = stack.Items(e);
            element.Tail = tagText;
            if (p >= SamePointL && element.NotCut) {
                // An inline element of text is part of a block: what follows it in the block
                // belongs to the content too. One that wraps blocks may be the content.
                if (element.CharCount > contentThreshold &&
                    (element.Blocks > 0 || !IsInlineTag(element.Name))) {
                    result = element.Start + element.Inner.str() + element.Tail;
                    raiseThreshold(element.CharCount);
                    titleSearchOver = true;
                    titleElement = -1;
                }
                for (int k = stack.Count() - 1; k >= e; --k) {
                    if (k == titleElement) {
                        // The title's element gives nothing to its parent.
                        stackWeight -= stack.Items(k).CharCount;
                        stack.Items(k).CharCount = 0;
                        stack.Items(k - 1).Inner.clear();
                        titleElement = k - 1;
                    } else {
                        fold(k, k == e);
                    }
                }
            }
            cutBackTo(e);
        }
        reader.clear();
    }

    // Elements still open at the end of the body.
    for (int k = stack.Count() - 1; k >= 1; --k) {
        THtmlTag& element = stack.Items(k);
        if (!element.NotCut) continue;
        if (IsBlockTag(element.Name) && element.CharCount > contentThreshold) {
            result = element.Start + element.Inner.str() + u"</" + element.Name + u">";
            raiseThreshold(element.CharCount);
        }
        fold(k, false);
    }
    cutBackTo(1);

    THtmlTag& root = stack.Items(0);
    if (root.CharCount > contentThreshold) result = root.Inner.str();
    if (TrimWhiteSpace(result).empty()) {
        result = root.Inner.str();
        if (TrimWhiteSpace(result).empty()) {
            const int from = std::max(SamePointL, 1);
            const int count = std::max(SamePointH - SamePointL, 0);
            if (from - 1 < static_cast<int>(Body.size()))
                result = Body.substr(static_cast<std::size_t>(from - 1),
                                     static_cast<std::size_t>(count));
        }
    }
    return result;
}

void TChmTopicFile::FindAnchors() {
    Anchors.clear();
    for (const AnchorAttribute& pair : readAnchorAttributes(Body)) {
        if (!equalsIgnoringAsciiCase(pair.name, u"name") || pair.value.empty()) continue;
        std::u16string_view anchor = pair.value;
        if (anchor.front() == u'#') anchor.remove_prefix(1);
        Anchors.add(std::u16string(anchor));
    }
}

void TChmTopicFile::ProcessBookmarks() {
    for (const AnchorAttribute& pair : readAnchorAttributes(Body)) {
        if (!equalsIgnoringAsciiCase(pair.name, u"name") &&
            !equalsIgnoringAsciiCase(pair.name, u"id"))
            continue;
        if (TBookmark* bookmark = Bookmarks.GetItemByName(pair.value))
            bookmark->Position = pair.blockStart;
    }
}

std::u16string TChmTopicFile::partFileName(int n) const {
    const std::size_t slash = Filename.rfind(u'/');
    const std::size_t dot = Filename.rfind(u'.');
    const bool hasExtension =
        dot != std::u16string::npos && (slash == std::u16string::npos || dot > slash);
    const std::u16string stem = hasExtension ? Filename.substr(0, dot) : Filename;
    const std::u16string extension = hasExtension ? Filename.substr(dot) : u"";
    std::u16string number;
    for (char ch : std::to_string(n)) number += static_cast<char16_t>(ch);
    return stem + u"_" + number + extension;
}

void TChmTopicFile::SplitFileByBookmark() {
    const int count = Bookmarks.Count();
    const int length = static_cast<int>(Body.size());
    for (int n = count - 1; n >= 0; --n) {
        const TBookmark& bookmark = Bookmarks.Items(n);
        // A position below 1 counts as 1; the length stays what the positions give.
        const int partLength = n == count - 1 ? length - bookmark.Position + 1
                                              : Bookmarks.Items(n + 1).Position - bookmark.Position;
        const int from = std::max(bookmark.Position, 1);
        std::u16string part;
        if (partLength > 0 && from <= length)
            part = Body.substr(static_cast<std::size_t>(from - 1),
                               static_cast<std::size_t>(partLength));
        part = DistillFragment(part, bookmark.Title);
        if (Owner != nullptr) Owner->pulse();
        if (Owner != nullptr)
            Owner->workingFiles.write(BeforeBody + part + AfterBody, partFileName(n),
                                      Owner->rootFolder);
        else
            writeWorkingFile(BeforeBody + part + AfterBody, partFileName(n),
                             workingFolderOf(Filename));
    }
}

TChmTopicFile& TChmTopicFileList::add(std::unique_ptr<TChmTopicFile> file) {
    m_byName.emplace(foldCase(file->Filename), file.get());
    m_files.push_back(std::move(file));
    return *m_files.back();
}

TChmTopicFile* TChmTopicFileList::GetItemByFilename(std::u16string_view FileName) const {
    const auto found = m_byName.find(foldCase(FileName));
    return found == m_byName.end() ? nullptr : found->second;
}

}  // namespace quillet
