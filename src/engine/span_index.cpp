#include "engine/span_index.h"

#include <algorithm>
#include <cassert>

namespace quillet::engine {

std::size_t SpanIndex::lowerBound(int end, int start) const {
    const auto it = std::lower_bound(m_spans.begin(), m_spans.end(), nullptr,
                                     [end, start](const Span* s, const Span*) {
                                         return s->end < end || (s->end == end && s->start < start);
                                     });
    return static_cast<std::size_t>(it - m_spans.begin());
}

void SpanIndex::add(Span* span) {
    assert(span->start <= span->end && "span ends before it starts");
    // After the spans of equal key, so adding at the end of a story stays cheap.
    const auto it =
        std::upper_bound(m_spans.begin(), m_spans.end(), span, [](const Span* a, const Span* b) {
            return a->end < b->end || (a->end == b->end && a->start < b->start);
        });
    m_spans.insert(it, span);
}

void SpanIndex::add(std::vector<Span*> spans) {
    if (spans.empty()) return;
    const auto before = [](const Span* a, const Span* b) {
        return a->end < b->end || (a->end == b->end && a->start < b->start);
    };
    std::stable_sort(spans.begin(), spans.end(), before);
    const auto from =
        std::upper_bound(m_spans.begin(), m_spans.end(), spans.front(), before) - m_spans.begin();
    const auto middle = static_cast<std::ptrdiff_t>(m_spans.size());
    m_spans.insert(m_spans.end(), spans.begin(), spans.end());
    std::inplace_merge(m_spans.begin() + from, m_spans.begin() + middle, m_spans.end(), before);
}

void SpanIndex::remove(Span* span) {
    for (std::size_t i = lowerBound(span->end, span->start);
         i < m_spans.size() && m_spans[i]->end == span->end && m_spans[i]->start == span->start;
         ++i) {
        if (m_spans[i] == span) {
            m_spans.erase(m_spans.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

void SpanIndex::remove(const std::unordered_set<const Span*>& gone) {
    if (gone.empty()) return;
    std::erase_if(m_spans, [&gone](const Span* s) { return gone.contains(s); });
}

void SpanIndex::move(Span* span, int start, int end) {
    remove(span);
    span->start = start;
    span->end = end;
    add(span);
}

void SpanIndex::inserted(int pos, int count) {
    if (count <= 0) return;
    // Spans ordered at or after (pos, pos) are exactly those that change; shifting them all
    // keeps the order (a collapsed span at pos moves past the unchanged ones that end at pos).
    for (std::size_t i = lowerBound(pos, pos); i < m_spans.size(); ++i) {
        Span* s = m_spans[i];
        if (s->start >= pos) s->start += count;
        s->end += count;
    }
}

void SpanIndex::removed(int from, int to) {
    if (to <= from) return;
    const int count = to - from;
    auto map = [&](int p) { return p <= from ? p : (p >= to ? p - count : from); };
    const std::size_t first = lowerBound(from + 1, 0);
    for (std::size_t i = first; i < m_spans.size(); ++i) {
        Span* s = m_spans[i];
        s->start = map(s->start);
        s->end = map(s->end);
    }
    // Spans that collapsed onto `from` may now be out of (end, start) order among themselves.
    std::stable_sort(m_spans.begin() + static_cast<std::ptrdiff_t>(first), m_spans.end(),
                     [](const Span* a, const Span* b) {
                         return a->end < b->end || (a->end == b->end && a->start < b->start);
                     });
}

}  // namespace quillet::engine
