// Keeps every position-bearing thing of a story (bookmarks, hyperlinks, fields, pictures, live
// ranges) in step with edits of the story's text, in time proportional to the spans at or after
// the edit: appending near the end, the common case, touches almost none. Does not own the spans.
#pragma once

#include <unordered_set>
#include <vector>

namespace quillet::engine {

// A stretch of a story, [start, end) in character positions.
struct Span {
    int start = 0;
    int end = 0;
};

class SpanIndex {
public:
    // Starts tracking `span`; it must not be tracked already.
    void add(Span* span);
    // Starts tracking all of `spans` (in the order that adding them one by one would give), in
    // one pass over the tracked spans that come after the first of them.
    void add(std::vector<Span*> spans);
    // Stops tracking `span`; a span not tracked is ignored.
    void remove(Span* span);
    // Takes out every span in `gone` in one pass over the index.
    void remove(const std::unordered_set<const Span*>& gone);
    // Moves a tracked span to new positions.
    void move(Span* span, int start, int end);

    // `count` characters were inserted at `pos`. A span moves with insertions before it (also
    // exactly at its start, and a collapsed span at `pos` moves as a whole), grows with
    // insertions inside it and does not grow with insertions at its end.
    void inserted(int pos, int count);
    // The characters [from, to) were removed: positions inside collapse to `from`.
    void removed(int from, int to);

    int size() const { return static_cast<int>(m_spans.size()); }
    // Every tracked span, in order of (end, start).
    const std::vector<Span*>& spans() const { return m_spans; }

private:
    // First index whose (end, start) is not below (end, start).
    std::size_t lowerBound(int end, int start) const;

    std::vector<Span*> m_spans;  // ordered by (end, start); edits keep the order
};

}  // namespace quillet::engine
