#include "engine/read_ahead.h"

#include "engine/word_objects.h"
#include "platform/utf.h"

#include <algorithm>
#include <filesystem>
#include <string>

namespace quillet::engine {

namespace {

// The file's size and modification time, or nothing when it cannot be seen.
std::optional<std::u16string> stampOf(const std::u16string& path) {
    std::error_code ec;
    const std::filesystem::path file = toPath(path);
    const auto size = std::filesystem::file_size(file, ec);
    if (ec) return std::nullopt;
    const auto time = std::filesystem::last_write_time(file, ec);
    if (ec) return std::nullopt;
    return fromUtf8(std::to_string(size) + ":" + std::to_string(time.time_since_epoch().count()));
}

}  // namespace

ReadAhead::ReadAhead(std::size_t capacity, std::size_t workers) : m_capacity(capacity) {
    for (std::size_t n = 0; n < std::max<std::size_t>(workers, 1); ++n)
        m_workers.emplace_back([this](std::stop_token stop) { work(stop); });
}

ReadAhead::~ReadAhead() {
    for (auto& worker : m_workers) worker.request_stop();
    m_changed.notify_all();
    m_workers.clear();  // joins
}

bool ReadAhead::request(const std::u16string& path, PreparedRead read) {
    const std::lock_guard lock(m_mutex);
    if (m_pages.size() >= m_capacity) return false;
    if (std::any_of(m_pages.begin(), m_pages.end(),
                    [&](const auto& page) { return page->path == path; }))
        return false;
    auto page = std::make_shared<Page>();
    page->path = path;
    page->read = std::move(read);
    m_pages.push_back(std::move(page));
    m_changed.notify_all();
    return true;
}

std::shared_ptr<DocumentState> ReadAhead::take(const std::u16string& path) {
    std::unique_lock lock(m_mutex);
    const auto found = std::find_if(m_pages.begin(), m_pages.end(),
                                    [&](const auto& page) { return page->path == path; });
    if (found == m_pages.end()) return nullptr;
    const std::shared_ptr<Page> page = *found;
    // Pages before it will not be opened; a worker still reading one finishes it for nothing.
    m_pages.erase(m_pages.begin(), found + 1);
    m_changed.notify_all();
    if (!page->started) return nullptr;
    m_changed.wait(lock, [&] { return page->done; });
    lock.unlock();

    if (!page->read.stillValid() || stampOf(path) != page->stamp) return nullptr;
    page->read.deliver();
    if (page->error) std::rethrow_exception(page->error);
    return page->document;
}

void ReadAhead::work(std::stop_token stop) {
    for (;;) {
        std::shared_ptr<Page> page;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] {
                if (stop.stop_requested()) return true;
                return std::any_of(m_pages.begin(), m_pages.end(),
                                   [](const auto& p) { return !p->started; });
            });
            if (stop.stop_requested()) return;
            page = *std::find_if(m_pages.begin(), m_pages.end(),
                                 [](const auto& p) { return !p->started; });
            page->started = true;
        }
        auto document = std::make_shared<DocumentState>();
        std::exception_ptr error;
        const auto stamp = stampOf(page->path);
        try {
            page->read.read(document->model);
        } catch (...) {
            error = std::current_exception();
        }
        {
            const std::lock_guard lock(m_mutex);
            page->document = error ? nullptr : std::move(document);
            page->error = error;
            page->stamp = stamp;
            page->done = true;
        }
        m_changed.notify_all();
    }
}

}  // namespace quillet::engine
