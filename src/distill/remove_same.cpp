// Duplicate removal: the blocks that most contents pages share at their top and bottom (and
// each page's own title below the common top) are cut off by comparing pages block by block;
// then every page is distilled, split at its contents anchors and written back. Also the style
// normaliser and the style sheets it is applied to.

#include "distill/chm_distill.h"

#include "distill/html_tags.h"
#include "platform/ascii.h"
#include "text/html_text.h"
#include "text/paths.h"
#include "text/text_files.h"

#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>

namespace quillet {

namespace {

// Which pages share a page's current block. An equal block (without regard to ASCII case) is
// shared; a block merely similar to others (IsSimilarText) is shared only when it holds a link.
// A navigation bar or breadcrumb trail differs a little from page to page and links elsewhere;
// label lines of data pages ("Symbol: H" on one page, "Symbol: He" on the next) differ a little
// too, but they are the pages' own text. Only the first `contentsCount` pages vote.
class BlockVoter {
public:
    BlockVoter(std::vector<TChmTopicFile*> pages, int contentsCount, bool fast)
        : m_pages(std::move(pages)),
          m_contentsCount(contentsCount),
          m_fast(fast),
          m_keys(m_pages.size()) {
        for (std::size_t n = 0; n < m_pages.size(); ++n) update(static_cast<int>(n));
    }

    // Page n's block has changed.
    void update(int n) {
        if (!m_fast) return;
        std::u16string key = lowerAscii(m_pages[static_cast<std::size_t>(n)]->Text);
        std::u16string& old = m_keys[static_cast<std::size_t>(n)];
        if (key == old && m_grouped.count(n)) return;
        if (m_grouped.count(n)) leave(n, old);
        old = std::move(key);
        join(n, old);
    }

    // Whether at least `threshold` contents pages other than j share j's block. An empty block
    // is shared by nobody.
    bool isCommon(int j, int threshold) const {
        const std::u16string& text = m_pages[static_cast<std::size_t>(j)]->Text;
        if (text.empty()) return false;
        int votes = 0;
        const bool linked = m_pages[static_cast<std::size_t>(j)]->TextHasLink;
        if (!m_fast) {
            for (int k = 0; k < m_contentsCount && votes < threshold; ++k)
                if (k != j && shares(m_pages[static_cast<std::size_t>(k)]->Text, text, linked))
                    ++votes;
            return votes >= threshold;
        }
        const std::u16string& key = m_keys[static_cast<std::size_t>(j)];
        const Group& own = m_groups.at(key);
        votes = own.contentsMembers - (j < m_contentsCount ? 1 : 0);
        if (votes >= threshold) return true;
        // Texts of fewer than five characters are only ever similar to their equals.
        if (key.size() < 5 || !linked) return false;
        // Voters whose blocks could still be similar: those of a length within 50, whose count
        // shrinks as candidates fail. Once even all of them could not reach the threshold, the
        // block is not common, however the rest would compare.
        const auto [low, high] = window(key.size());
        int undecided = 0;
        for (auto it = m_votersByLength.lower_bound(low);
             it != m_votersByLength.end() && it->first <= high; ++it)
            undecided += it->second;
        undecided -= own.contentsMembers;
        if (votes + undecided < threshold) return false;
        int failures = 0;
        for (auto it = m_byLength.lower_bound(low); it != m_byLength.end() && it->first <= high;
             ++it) {
            const Group& group = *it->second;
            if (&group == &own || group.contentsMembers == 0) continue;
            undecided -= group.contentsMembers;
            if (mayBeSimilar(own, group) && IsSimilarText(*group.key, key)) {
                votes += group.contentsMembers;
                if (votes >= threshold) return true;
            } else if (++failures > kMaxFailures) {
                // Kept, not cut: a block that so many differ from is not worth a scan of every
                // page for each page that shows it.
                return false;
            }
            if (votes + undecided < threshold) return false;
        }
        return votes >= threshold;
    }

    // Every page other than j whose block is similar to j's, in page order.
    std::vector<int> similarPages(int j) const {
        std::vector<int> pages;
        const std::u16string& text = m_pages[static_cast<std::size_t>(j)]->Text;
        const bool linked = m_pages[static_cast<std::size_t>(j)]->TextHasLink;
        if (!m_fast) {
            for (int k = 0; k < static_cast<int>(m_pages.size()); ++k)
                if (k != j && shares(m_pages[static_cast<std::size_t>(k)]->Text, text, linked))
                    pages.push_back(k);
            return pages;
        }
        if (text.empty()) return pages;
        const std::u16string& key = m_keys[static_cast<std::size_t>(j)];
        const Group& own = m_groups.at(key);
        for (int k : own.members)
            if (k != j) pages.push_back(k);
        if (key.size() >= 5 && linked) {
            const auto [low, high] = window(key.size());
            for (auto it = m_byLength.lower_bound(low); it != m_byLength.end() && it->first <= high;
                 ++it) {
                const Group& group = *it->second;
                if (&group != &own && mayBeSimilar(own, group) && IsSimilarText(*group.key, key))
                    pages.insert(pages.end(), group.members.begin(), group.members.end());
            }
        }
        std::sort(pages.begin(), pages.end());
        return pages;
    }

private:
    static constexpr std::size_t kBuckets = 64;
    // Candidates of a similar length that a linked block may differ from before it is kept.
    static constexpr int kMaxFailures = 256;

    // Whether `other` shares `text`, a block that holds a link when `linked`.
    static bool shares(std::u16string_view other, std::u16string_view text, bool linked) {
        return linked ? IsSimilarText(other, text)
                      : !text.empty() && equalsIgnoringAsciiCase(other, text);
    }
    struct Group {
        std::vector<int> members;  // pages whose block folds to this text
        int contentsMembers = 0;
        std::array<int, kBuckets> histogram{};  // character counts by bucket
        const std::u16string* key = nullptr;
        std::multimap<std::size_t, Group*>::iterator byLength;
    };

    void join(int n, const std::u16string& key) {
        auto [it, inserted] = m_groups.try_emplace(key);
        Group& group = it->second;
        if (inserted) {
            for (char16_t c : key) ++group.histogram[c % kBuckets];
            group.key = &it->first;
            group.byLength = m_byLength.emplace(key.size(), &group);
        }
        group.members.insert(std::lower_bound(group.members.begin(), group.members.end(), n), n);
        if (n < m_contentsCount) {
            ++group.contentsMembers;
            ++m_votersByLength[key.size()];
        }
        m_grouped.insert(n);
    }

    void leave(int n, const std::u16string& key) {
        const auto it = m_groups.find(key);
        Group& group = it->second;
        group.members.erase(std::lower_bound(group.members.begin(), group.members.end(), n));
        if (n < m_contentsCount) {
            --group.contentsMembers;
            if (--m_votersByLength[key.size()] == 0) m_votersByLength.erase(key.size());
        }
        if (group.members.empty()) {
            m_byLength.erase(group.byLength);
            m_groups.erase(it);
        }
        m_grouped.erase(n);
    }

    // The lengths a text of `length` characters can be similar to (other than its equals).
    static std::pair<std::size_t, std::size_t> window(std::size_t length) {
        return {std::max<std::size_t>(length > 50 ? length - 50 : 0, 5), length + 50};
    }

    // Matched characters cannot outnumber the characters two texts have in common, so when
    // those are at most 80% of the shorter text the two cannot be similar.
    static bool mayBeSimilar(const Group& a, const Group& b) {
        int common = 0;
        for (std::size_t n = 0; n < kBuckets; ++n)
            common += std::min(a.histogram[n], b.histogram[n]);
        const std::size_t shorter = std::min(a.key->size(), b.key->size());
        return static_cast<std::size_t>(common) * 5 > shorter * 4;
    }

    std::vector<TChmTopicFile*> m_pages;
    int m_contentsCount;
    bool m_fast;
    std::vector<std::u16string> m_keys;  // each page's folded block
    std::unordered_map<std::u16string, Group> m_groups;
    std::multimap<std::size_t, Group*> m_byLength;
    std::map<std::size_t, int> m_votersByLength;  // contents pages by the length of their block
    std::set<int> m_grouped;
};

// Cuts common blocks while page j's block is shared by enough contents pages.
template <typename Step>
void voteAndCut(TCHMDistill& job, std::vector<TChmTopicFile*>& pages, BlockVoter& voter,
                int threshold, Step step) {
    for (int j = 0; j < static_cast<int>(pages.size());) {
        job.pulse();
        if (!voter.isCommon(j, threshold)) {
            ++j;
            continue;
        }
        for (int k : voter.similarPages(j)) {
            step(*pages[static_cast<std::size_t>(k)]);
            voter.update(k);
        }
        step(*pages[static_cast<std::size_t>(j)]);
        voter.update(j);
    }
}

// Cuts the running head of each page: a short line at the very top, without links, that is not
// the page's title but stands right above it, when lines like it (similar, not equal: it names
// the chapter) head at least half of the contents pages. Lines further down, and top lines on
// pages whose title does not follow, are the pages' own text (the labels of data pages).
void cutRunningHeads(std::vector<TChmTopicFile*>& pages, int contentsCount, BlockVoter& voter) {
    constexpr std::size_t kLongestHead = 120;
    // Running heads name a chapter each: a few texts. Past this many distinct ones the tops of
    // the pages are no running head, and comparing them all would cost too much.
    constexpr std::size_t kMostHeads = 256;
    std::vector<int> candidates;
    std::unordered_map<std::u16string, int> counts;  // folded text: contents pages showing it
    for (int n = 0; n < static_cast<int>(pages.size()); ++n) {
        TChmTopicFile& page = *pages[static_cast<std::size_t>(n)];
        if (page.Text.empty() || page.Text.size() > kLongestHead || page.TextHasLink ||
            page.IsTitle(page.Text, page.TextPictureChars) || !page.TitleFollows())
            continue;
        candidates.push_back(n);
        if (n < contentsCount) ++counts[lowerAscii(page.Text)];
    }
    if (contentsCount == 0 || counts.size() > kMostHeads) return;
    // Each text's support: the contents pages whose top line is like it.
    std::unordered_map<std::u16string, int> support;
    for (const auto& [text, count] : counts) {
        int pagesLikeIt = 0;
        for (const auto& [other, otherCount] : counts)
            if (IsSimilarText(text, other)) pagesLikeIt += otherCount;
        support.emplace(text, pagesLikeIt);
    }
    for (int n : candidates) {
        TChmTopicFile& page = *pages[static_cast<std::size_t>(n)];
        const std::u16string key = lowerAscii(page.Text);
        int pagesLikeIt = 0;
        if (const auto known = support.find(key); known != support.end()) {
            pagesLikeIt = known->second;
        } else {
            // A page outside the contents: measured against the contents pages' heads.
            for (const auto& [other, otherCount] : counts)
                if (IsSimilarText(key, other)) pagesLikeIt += otherCount;
        }
        if (pagesLikeIt * 2 < contentsCount) continue;
        page.SearchDown();
        voter.update(n);
    }
}

}  // namespace

std::u16string StyleNormaliser(std::u16string_view S) {
    static constexpr std::pair<std::u16string_view, std::u16string_view> kReplacements[] = {
        {u"display:none", u"display:block"},   {u"display: none", u"display:block"},
        {u"display :none", u"display:block"},  {u"display : none", u"display:block"},
        {u"Align=justify", u"Align=left"},     {u"Align=\"justify\"", u"Align=\"left\""},
        {u"Align='justify'", u"Align='left'"},
    };
    // One pass: every pattern starts with "d" or "a", and no match of one can overlap another's,
    // so this is the same as replacing each pattern in turn over the whole text.
    std::u16string text;
    text.reserve(S.size());
    std::size_t copied = 0;
    for (std::size_t p = 0; p < S.size(); ++p) {
        const char16_t c = S[p] | 0x20;
        if (c != u'd' && c != u'a') continue;
        for (const auto& [from, to] : kReplacements) {
            if (!startsWithIgnoringAsciiCase(S.substr(p), from)) continue;
            text.append(S.substr(copied, p - copied));
            text.append(to);
            copied = p + from.size();
            p = copied - 1;
            break;
        }
    }
    text.append(S.substr(copied));
    return text;
}

void TCHMDistill::ChangeCSS() {
    for (const auto& sheet : CSSFiles) {
        pulse();
        workingFiles.rewrite(sheet.text, rootFolder,
                             [](const std::u16string& text) { return StyleNormaliser(text); });
    }
}

void TCHMDistill::RemoveSame() {
    // 1. One topic file per page: the contents pages first. Each page is looked up once for
    // its reading here and its writing in step 6.
    TopicList.clear();
    std::vector<std::pair<std::u16string, std::u16string>> sources;  // file, title
    for (const auto& line : Files) sources.emplace_back(line.text, line.object->Topic);
    for (const auto& line : NonTocicFiles) sources.emplace_back(line.text, u"");
    std::vector<std::optional<WorkingFiles::File>> files;
    std::unordered_map<std::string, int> readingsLeft;  // by file, for a file listed twice
    for (const auto& [file, title] : sources) {
        files.push_back(workingFiles.locate(file, rootFolder));
        if (files.back()) ++readingsLeft[files.back()->key];
    }
    for (std::size_t n = 0; n < sources.size(); ++n) {
        pulse();
        const auto& file = files[n];
        const TChmTopicFile& topic = TopicList.add(
            std::make_unique<TChmTopicFile>(sources[n].first, sources[n].second, this,
                                            file ? workingFiles.read(*file) : std::u16string()));
        // A page with a body is written back in step 6 with its head part at least, so a held
        // text need not stay held beside the topic file once its last reader has it.
        if (file && --readingsLeft[file->key] == 0 &&
            !(topic.BeforeBody.empty() && topic.AfterBody.empty()))
            workingFiles.release(*file);
    }
    const int contentsCount = static_cast<int>(Files.size());

    // 2. The contents anchors into each page, and how many entries point at it.
    const auto topicOf = [&](const TTitleList& entry, std::u16string& page) {
        std::u16string anchor;
        SplitUrlAnchor(entry.Url, page, anchor);
        return std::make_pair(TopicList.GetItemByFilename(rootFolder + page), anchor);
    };
    for (std::size_t n = 0; n < List.size(); ++n) {
        std::u16string page;
        const auto [topic, anchor] = topicOf(List[n], page);
        if (topic == nullptr) continue;
        if (!anchor.empty() && topic->Bookmarks.GetItemByName(anchor) == nullptr)
            topic->Bookmarks.add({anchor, List[n].Topic, 0});
        ++topic->QuoteCount;
    }
    // 3. A page only one entry points at is never split: the entry takes the whole page.
    for (std::size_t n = 0; n < List.size(); ++n) {
        std::u16string page;
        const auto [topic, anchor] = topicOf(List[n], page);
        if (topic != nullptr && topic->QuoteCount == 1) List[n].Url = page;
    }

    std::vector<TChmTopicFile*> pages;
    for (std::size_t n = 0; n < TopicList.size(); ++n) pages.push_back(&TopicList[n]);
    const int threshold = static_cast<int>(std::lround(contentsCount * 0.8));
    const bool fast = voting == Voting::Fast;

    // 4. Bottom pass.
    for (TChmTopicFile* page : pages) {
        page->IniticalizeTags();
        page->i = page->h;
        page->SearchUp();
    }
    {
        BlockVoter voter(pages, contentsCount, fast);
        voteAndCut(*this, pages, voter, threshold, [](TChmTopicFile& page) { page.SearchUp(); });
    }

    // 5. Top pass, then the title pass when most contents pages show their title next.
    for (TChmTopicFile* page : pages) {
        page->FindText = false;
        page->IniticalizeTags();
        page->i = 1;
        page->SearchDown();
    }
    BlockVoter voter(pages, contentsCount, fast);
    const auto searchDown = [](TChmTopicFile& page) { page.SearchDown(); };
    voteAndCut(*this, pages, voter, threshold, searchDown);
    cutRunningHeads(pages, contentsCount, voter);
    int titled = 0;
    for (int n = 0; n < contentsCount; ++n)
        if (const TChmTopicFile& page = *pages[static_cast<std::size_t>(n)];
            page.IsTitle(page.Text, page.TextPictureChars))
            ++titled;
    if (titled > contentsCount * 0.8) {
        // The pages whose block is no title keep it: it is their own text.
        for (std::size_t n = 0; n < pages.size(); ++n) {
            TChmTopicFile& page = *pages[n];
            page.Title3 = page.Text;
            if (!page.IsTitle(page.Text, page.TextPictureChars)) continue;
            page.TitleFound = true;
            page.SearchDown();
            voter.update(static_cast<int>(n));
        }
        voteAndCut(*this, pages, voter, threshold, searchDown);
    }

    // 6. Distil, split and write every page.
    for (std::size_t n = 0; n < pages.size(); ++n) {
        pulse();
        TChmTopicFile* page = pages[n];
        page->Body = page->Distiller();
        page->FindAnchors();
        if (page->QuoteCount > 1) {
            page->ProcessBookmarks();
            page->Bookmarks.Sort();
            page->SplitFileByBookmark();
        }
        const std::u16string text = page->BeforeBody + page->Body + page->AfterBody;
        if (files[n])
            workingFiles.write(text, *files[n]);
        else
            workingFiles.write(text, page->Filename, rootFolder);  // refused: it leads out
        // Nothing reads the page text again; anchors, bookmarks and titles stay. Swapped out, not
        // assigned an empty string: an assignment keeps the buffer.
        std::u16string().swap(page->BeforeBody);
        std::u16string().swap(page->Body);
        std::u16string().swap(page->AfterBody);
    }
}

}  // namespace quillet
