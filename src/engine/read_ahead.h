// Reading the pages that Documents.Open will be asked for next on a second thread, so that a
// caller who opens page after page (the Word stage importing topic pages) finds each one read
// while it was busy with the one before. A page read ahead gives the document that reading it at
// Open would give: the reading is prepared on the asking thread (its settings travel with it),
// what it had to say is told on the opening thread when the page is taken, and a page whose file
// changed in between, or whose settings no longer hold, is read again at Open.
#pragma once

#include "engine/word_engine.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quillet::engine {

struct DocumentState;

class ReadAhead {
public:
    // At most `capacity` pages queued, being read or read and not yet taken, read by `workers`
    // threads.
    ReadAhead(std::size_t capacity, std::size_t workers);
    // Lets the workers finish the pages at hand, drops the rest and joins them.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Queues `path` to be read by `read` on the worker; false when it is queued already or the
    // queue is full (Open then reads it itself).
    bool request(const std::u16string& path, PreparedRead read);

    // The document read ahead for `path`, waiting for its worker if it is being read; its
    // reading's report has been delivered. A reading that failed throws what it threw. Nothing
    // when `path` was not asked for, not started yet, or is stale; pages asked for before it are
    // dropped, since a caller that has moved past them will not open them.
    std::shared_ptr<DocumentState> take(const std::u16string& path);

private:
    struct Page {
        std::u16string path;
        PreparedRead read;
        bool started = false;
        bool done = false;
        std::shared_ptr<DocumentState> document;
        std::exception_ptr error;
        std::optional<std::u16string> stamp;  // the file's size and time when it was read
    };

    void work(std::stop_token stop);

    const std::size_t m_capacity;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::shared_ptr<Page>> m_pages;  // in the order asked for
    std::vector<std::jthread> m_workers;
};

}  // namespace quillet::engine
