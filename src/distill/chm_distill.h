// The distillation stage of a conversion: which pages take part, chapter numbers and bookmark
// names of the contents entries, and every page distilled and written back in the working folder.
#pragma once

#include "distill/sorted_list.h"
#include "distill/topic_file.h"
#include "project/chm_decompile.h"

#include <string>

namespace quillet {

class TCHMDistill : public TCHMDecompile {
public:
    // Runs the whole stage on the unpacked project, reporting progress at 5, 10 and 15.
    virtual void Execute();

    // Full paths of the pages that contents entries point at, each with the first such entry.
    void FillFileList();
    // Gathers the pages outside the contents under one extra top-level heading (unless Discard).
    void NonTocFileToToc();
    // Chapter numbers from nine level counters: "1.", "1.1", "1..1", ".1".
    void GetChapterNumber();
    // "Bookmark" + the entry's position in the contents list.
    void GetBookmark();
    // Rewrites the links of every page the contents point at and writes it back.
    void DistillPages();

    SortedStringList<TTitleList> Files;
    bool AddHint = false;
    std::u16string HintFormat;
    bool Discard = false;
    std::u16string Addenda;
    SortedStringList<TTitleList> NonTocicFiles;
    StringSet CSSFiles;
    TChmTopicFileList TopicList;

protected:
    // Link rewriting, duplicate removal and style sheets.
    virtual void ProcessTocLink();
    virtual void GetLinkPages(const std::u16string& page);
    virtual void ChangeCSS();
    virtual void RemoveSame();
    virtual std::u16string ChangeUrlBookmark(const std::u16string& text, TTitleList& entry);
    virtual std::u16string StyleNormaliser(const std::u16string& text);
    virtual void ProcessTocLink2();

private:
    void report(const std::u16string& info, int persent);
};

// The chapter number of every entry of `list`, by the nine counters of levels 0 to 8.
void numberChapters(TTitleLists& list);

}  // namespace quillet
