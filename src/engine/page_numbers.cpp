#include "engine/page_numbers.h"

#include <mutex>
#include <utility>

namespace quillet::engine {

namespace {

struct Numbering {
    std::mutex mutex;
    PageNumbering numbering;
};

Numbering& numbering() {
    static Numbering n;
    return n;
}

}  // namespace

void setPageNumbering(PageNumbering given) {
    const std::lock_guard lock(numbering().mutex);
    numbering().numbering = std::move(given);
}

std::vector<int> pageNumbersOf(const DocumentModel& model, const std::vector<int>& positions) {
    PageNumbering number;
    {
        const std::lock_guard lock(numbering().mutex);
        number = numbering().numbering;
    }
    if (!number) return std::vector<int>(positions.size(), 1);
    return number(model, positions);
}

}  // namespace quillet::engine
