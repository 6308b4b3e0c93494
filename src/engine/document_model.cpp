#include "engine/document_model.h"

#include "platform/utf.h"

#include <algorithm>
#include <map>

namespace quillet::engine {

namespace {

bool isPlainChar(char16_t c) {
    return !endsParagraph(c) && c != kPictureChar && c != kFieldBegin && c != kFieldSeparator &&
           c != kFieldEnd && c != kPageBreak;
}

}  // namespace

std::shared_ptr<Story> cloneStory(const Story& story) {
    auto copy = std::make_shared<Story>();
    copy->insert(0, story.copy(0, story.length() - 1));
    const int last = story.paragraphCount() - 1;
    const ParaFormat lastFormat = story.paragraphFormat(last);
    copy->formatParagraphs(copy->paragraphCount() - 1, copy->paragraphCount() - 1,
                           [&](ParaFormat& f) { f = lastFormat; });
    const CharFormat mark = story.charFormat(story.length() - 1);
    copy->formatCharacters(copy->length() - 1, copy->length(), [&](CharFormat& f) { f = mark; });
    return copy;
}

DocumentModel::DocumentModel() : m_body(std::make_shared<Story>()), m_sections(1) {
    for (HeaderFooter& h : m_sections[0].headers) h.linkToPrevious = false;
    for (HeaderFooter& h : m_sections[0].footers) h.linkToPrevious = false;
}

int DocumentModel::sectionAt(int pos) const {
    const auto& breaks = m_body->sectionBreaks();
    return static_cast<int>(std::lower_bound(breaks.begin(), breaks.end(), pos) - breaks.begin());
}

std::pair<int, int> DocumentModel::sectionRange(int index) const {
    const auto& breaks = m_body->sectionBreaks();
    const int start = index == 0 ? 0 : breaks[static_cast<std::size_t>(index - 1)] + 1;
    const int end = index < static_cast<int>(breaks.size())
                        ? breaks[static_cast<std::size_t>(index)] + 1
                        : m_body->length();
    return {start, end};
}

int DocumentModel::mapStyle(const StyleSheet& from, int index) {
    if (index < 0 || index >= from.count()) return 0;
    const Style& source = from.at(index);
    const int here = m_styles.findByName(source.name);
    if (here >= 0) return here;
    Style copy = source;
    copy.basedOn = source.basedOn >= 0 ? mapStyle(from, source.basedOn) : -1;
    copy.next = -1;
    const std::u16string id = copy.id;
    for (int n = 2; m_styles.findById(copy.id) >= 0; ++n)
        copy.id = id + fromUtf8(std::to_string(n));
    return m_styles.add(std::move(copy));
}

void DocumentModel::splitSections(int section, int breaks, const std::vector<Section>& given) {
    // The new breaks end new sections before the one they fall in; that one keeps its break,
    // and what followed them now shows the headers of the part before, as Word links them.
    Section& old = m_sections[static_cast<std::size_t>(section)];
    std::vector<Section> parts;
    for (int j = 0; j < breaks; ++j) {
        Section part =
            j < static_cast<int>(given.size()) ? given[static_cast<std::size_t>(j)] : old;
        if (j == 0) {
            part.headers = old.headers;
            part.footers = old.footers;
            part.restartNumbering = old.restartNumbering;
            part.startingNumber = old.startingNumber;
        } else {
            for (HeaderFooter& h : part.headers) h = HeaderFooter{};
            for (HeaderFooter& h : part.footers) h = HeaderFooter{};
            part.restartNumbering = false;
        }
        parts.push_back(std::move(part));
    }
    if (breaks > 0) {
        for (HeaderFooter& h : old.headers) h = HeaderFooter{};
        for (HeaderFooter& h : old.footers) h = HeaderFooter{};
        old.restartNumbering = false;
    }
    m_sections.insert(m_sections.begin() + section, parts.begin(), parts.end());
}

void DocumentModel::insert(Story& story, int pos, Fragment content) {
    if (content.text.empty()) return;
    const bool ownStyles = content.styles && content.styles.get() != &m_styles;
    const bool ownLists = content.lists && content.lists.get() != &m_lists;
    if (ownStyles || ownLists) {
        std::map<int, int> mappedStyles;
        std::map<int, int> mappedLists;  // the fragment's list -> a new one here
        content.editParagraphFormats([&](ParaFormat& p) {
            if (ownStyles) {
                const auto [it, added] = mappedStyles.emplace(p.style, 0);
                if (added) it->second = mapStyle(*content.styles, p.style);
                p.style = it->second;
            }
            if (ownLists && p.list != 0) {
                const auto [it, added] = mappedLists.emplace(p.list, 0);
                if (added) {
                    const ListTable& from = *content.lists;
                    if (p.list > 0 && p.list <= from.count()) {
                        const List& list = from.list(p.list);
                        it->second = m_lists.add(from.listTemplate(list.listTemplate), list.starts);
                    }
                }
                p.list = it->second;
            }
        });
    }
    if (ownStyles) {
        for (const FragmentRun& run : content.runs) {
            const CharFormat& format = content.charFormat(run);
            if (format.charStyle.empty() || m_styles.findByName(format.charStyle) >= 0) continue;
            const int source = content.styles->findByName(format.charStyle);
            if (source >= 0) mapStyle(*content.styles, source);
        }
    }
    const int breaks =
        static_cast<int>(std::count(content.text.begin(), content.text.end(), kSectionBreak));
    const int section = &story == m_body.get() ? sectionAt(pos) : -1;
    if (section < 0 && breaks > 0) {
        // Headers and footers hold no sections: their breaks become paragraph marks.
        std::replace(content.text.begin(), content.text.end(), kSectionBreak, kParagraphMark);
    }
    story.insert(pos, content);
    if (section >= 0 && breaks > 0) splitSections(section, breaks, content.sections);
}

void DocumentModel::insertText(Story& story, int pos, std::u16string_view text) {
    CharFormat format;
    const int para = story.paragraphAt(pos);
    if (pos > story.paragraphStart(para) &&
        isPlainChar(story.text()[static_cast<std::size_t>(pos - 1)])) {
        format = story.charFormat(pos - 1);
        format.charStyle.clear();
    }
    insert(story, pos, Fragment::plain(std::u16string(text), format));
}

std::pair<int, int> DocumentModel::remove(Story& story, int from, int to) {
    const int firstSection = &story == m_body.get() ? sectionAt(from) : -1;
    const auto& breaks = story.sectionBreaks();
    const auto [wFrom, wTo] = story.wholeFields(from, to);
    const int gone = static_cast<int>(std::lower_bound(breaks.begin(), breaks.end(), wTo) -
                                      std::lower_bound(breaks.begin(), breaks.end(), wFrom));
    const auto removed = story.remove(from, to);
    if (firstSection >= 0 && gone > 0) {
        m_sections.erase(m_sections.begin() + firstSection,
                         m_sections.begin() + firstSection + gone);
        for (HeaderFooter& h : m_sections[0].headers)
            if (h.linkToPrevious) h.linkToPrevious = false;
        for (HeaderFooter& h : m_sections[0].footers)
            if (h.linkToPrevious) h.linkToPrevious = false;
    }
    return removed;
}

Fragment DocumentModel::copy(const Story& story, int from, int to) const {
    Fragment f = story.copy(from, to);
    auto sheet = std::make_shared<StyleSheet>(m_styles);
    f.styles = std::move(sheet);
    bool listed = false;
    for (std::uint32_t i = 0; i < f.paraFormats.size() && !listed; ++i)
        listed = f.paraFormats[i].list != 0;
    if (listed) {
        // Only the lists that the copy names travel with it, numbered from 1 in their order.
        auto lists = std::make_shared<ListTable>();
        std::map<int, int> numbers;
        f.editParagraphFormats([&](ParaFormat& p) {
            if (p.list <= 0 || p.list > m_lists.count()) {
                p.list = 0;
                return;
            }
            const auto [it, added] = numbers.emplace(p.list, 0);
            if (added) {
                const List& list = m_lists.list(p.list);
                it->second = lists->add(m_lists.listTemplate(list.listTemplate), list.starts);
            }
            p.list = it->second;
        });
        f.lists = std::move(lists);
    }
    if (&story == m_body.get()) {
        const auto [start, end] = story.wholeFields(from, to);
        for (int pos : story.sectionBreaks())
            if (pos >= start && pos < end)
                f.sections.push_back(m_sections[static_cast<std::size_t>(sectionAt(pos))]);
        for (Section& s : f.sections) {
            for (HeaderFooter& h : s.headers) h = HeaderFooter{};
            for (HeaderFooter& h : s.footers) h = HeaderFooter{};
        }
    }
    return f;
}

HeaderFooter& DocumentModel::headerFooter(int section, bool footer, int index) {
    Section& s = m_sections.at(static_cast<std::size_t>(section));
    return (footer ? s.footers : s.headers).at(static_cast<std::size_t>(index - 1));
}

const std::shared_ptr<Story>& DocumentModel::shownStory(int section, bool footer, int index) {
    while (section > 0 && headerFooter(section, footer, index).linkToPrevious) --section;
    HeaderFooter& h = headerFooter(section, footer, index);
    if (!h.story) {
        h.story = std::make_shared<Story>();
        const int style = m_styles.findBuiltin(footer ? kStyleFooter : kStyleHeader);
        h.story->formatParagraphs(0, 0, [&](ParaFormat& f) { f.style = style >= 0 ? style : 0; });
    }
    return h.story;
}

void DocumentModel::setLinkToPrevious(int section, bool footer, int index, bool link) {
    HeaderFooter& h = headerFooter(section, footer, index);
    if (section == 0 || h.linkToPrevious == link) return;
    if (link) {
        h.story.reset();
        h.linkToPrevious = true;
        return;
    }
    const std::shared_ptr<Story> shown = shownStory(section - 1, footer, index);
    h.story = cloneStory(*shown);
    h.linkToPrevious = false;
}

std::string DocumentModel::checkInvariants() const {
    if (std::string problem = m_body->checkInvariants(); !problem.empty())
        return "body: " + problem;
    if (m_sections.size() != m_body->sectionBreaks().size() + 1)
        return "sections out of step with the section breaks";
    for (std::size_t s = 0; s < m_sections.size(); ++s) {
        for (bool footer : {false, true}) {
            const auto& list = footer ? m_sections[s].footers : m_sections[s].headers;
            for (const HeaderFooter& h : list) {
                if (s == 0 && h.linkToPrevious) return "the first section links to a previous one";
                if (h.linkToPrevious && h.story) return "a linked header has a story of its own";
                if (h.story) {
                    if (!h.story->sectionBreaks().empty()) return "a header holds a section break";
                    if (std::string problem = h.story->checkInvariants(); !problem.empty())
                        return std::string(footer ? "footer: " : "header: ") + problem;
                }
            }
        }
    }
    for (int i = 0; i < m_body->paragraphCount(); ++i) {
        const ParaFormat f = m_body->paragraphFormat(i);
        if (f.style < 0 || f.style >= m_styles.count()) return "paragraph style out of range";
        if (f.list < 0 || f.list > m_lists.count())
            return "paragraph in a list that does not exist";
        if (f.listLevel < 0 || f.listLevel >= kListLevels) return "list level out of range";
    }
    return {};
}

}  // namespace quillet::engine
