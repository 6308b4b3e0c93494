// Contents entries for Word stage tests, as distillation leaves them in a conversion's list: each
// with its chapter number and a bookmark named after its position.
#pragma once

#include "job/chm_to_doc_pdf.h"
#include "platform/utf.h"

#include <string>
#include <utility>

namespace quillet::testing {

// Appends an entry to `job`'s list. `status` is 0 for a page, 2 for a heading only, 3 for a web
// address; the bookmark is "Bookmark" and the entry's index.
inline void addEntry(TChmToDocPDF& job, std::u16string topic, std::u16string url, int level,
                     int status, std::u16string chapter) {
    TTitleList& e = job.List.add();
    e.Topic = std::move(topic);
    e.Url = std::move(url);
    e.Level = level;
    e.Status = status;
    e.ChapterNumber = std::move(chapter);
    e.Bookmark = u"Bookmark" + fromUtf8(std::to_string(job.List.size() - 1));
}

}  // namespace quillet::testing
