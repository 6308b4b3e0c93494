#include "engine/clipboard.h"

#include <mutex>

namespace quillet::engine {

namespace {

struct Clipboard {
    std::mutex mutex;
    std::optional<Fragment> content;
};

Clipboard& clipboard() {
    static Clipboard c;
    return c;
}

}  // namespace

void setClipboard(Fragment content) {
    Clipboard& c = clipboard();
    const std::lock_guard lock(c.mutex);
    c.content = std::move(content);
}

std::optional<Fragment> clipboardContent() {
    Clipboard& c = clipboard();
    const std::lock_guard lock(c.mutex);
    return c.content;
}

void clearClipboard() {
    Clipboard& c = clipboard();
    const std::lock_guard lock(c.mutex);
    c.content.reset();
}

}  // namespace quillet::engine
