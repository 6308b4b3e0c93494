// The distillation stage of a conversion: which pages take part, chapter numbers and bookmark
// names of the contents entries, and every page distilled and written back in the working folder.
#pragma once

#include "distill/sorted_list.h"
#include "distill/topic_file.h"
#include "distill/working_files.h"
#include "project/chm_decompile.h"

#include <chrono>
#include <string>
#include <vector>

namespace quillet {

class TCHMDistill : public TCHMDecompile {
public:
    // Runs the whole stage on the unpacked project, reporting progress at 5, 10 and 15.
    virtual void Execute();
    // Lets go of the page lists and topic files the stage worked with (on a large help file,
    // hundreds of megabytes) once its results are in the working folder and the contents list.
    void releaseStageData();

    // Whether the help file brought no contents of its own: no contents file, and only the
    // entry of the default topic that unpacking made.
    bool contentsMissing() const;
    // Contents made from the links of the pages: the default topic's entry first, then the pages
    // it links to in reading order, depth first, each page once. A page's level is its link
    // depth, the fewest links that lead to it from the default topic (at most 8), and it stands
    // below the first page at the level above that links to it. Each is titled from its title
    // element without the ending that every title shares; a title that other pages have too
    // gives way to the text of the first link to the page that has one. One read of each page,
    // one look-up per link.
    void ContentsFromLinks();
    // The pages of the working folder that nothing has gathered, frames shown in framesets
    // aside, gathered for the Addenda heading with the pages they link to: for contents made from
    // links, where a page no link reaches would otherwise be lost.
    void GatherUnlinkedPages();
    // Every web archive (.mht, .mhtml) of the working folder replaced by its HTML, its pictures
    // written beside it (see web_archive.h).
    void UnpackWebArchives();
    // The page text `text` of `page` with a frameset replaced by a body holding the bodies of its
    // frames' pages in order (framesets among them shown in turn); other text as it is.
    std::u16string ShowFrames(const std::u16string& text, const std::u16string& page);

    // Full paths of the pages that contents entries point at, each with the first such entry.
    void FillFileList();
    // Gathers the pages outside the contents under one extra top-level heading (unless Discard),
    // titled as contents made from links are.
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
    // Whether a link into another help file beside the input (ms-its:other.chm::/page.htm) has
    // that help file unpacked and its pages taken in; without, such links become plain text.
    bool LinkedHelp = true;
    std::u16string Addenda;
    SortedStringList<TTitleList> NonTocicFiles;
    StringSet CSSFiles;
    TChmTopicFileList TopicList;
    // The pages and style sheets as the steps read and write them. Execute holds them from step
    // to step and writes each once at its end; a step run on its own reads and writes the folder.
    WorkingFiles workingFiles;
    std::size_t holdLimit = WorkingFiles::kDefaultHoldLimit;  // bytes of pages held at most

    // Contents links: web addresses become external links (Status 3); other addresses become
    // paths relative to the working folder.
    void ProcessTocLink();
    // One link found in the page CurrentUrl (or in the working folder) made to work inside the
    // working folder: pages of this help file relative to the page, pages of another help file
    // beside it into its own unpacked sub-folder, absolute and escaping paths cut to file names;
    // empty when it would still lead out of the working folder.
    std::u16string ProcessDecompiledUrl(const std::u16string& Url,
                                        const std::u16string& CurrentUrl);
    bool IsOutOfRootfolder(const std::u16string& url) const;
    // Url as found in page CurrentUrl when the file it names lies inside the working folder (or
    // it names none: a web address, an anchor); empty when it leads out, so that it links to
    // nothing and its text stays text.
    std::u16string confinedUrl(const std::u16string& Url, const std::u16string& CurrentUrl) const;
    // The HTML text S of page CurrentUrl with its link attributes passed through
    // ProcessDecompiledUrl, and media="screen" made media="all".
    std::u16string ProcessSCR(const std::u16string& S, const std::u16string& CurrentUrl);
    // Rewrites the links of page f on disk, then gathers the pages and style sheets it links to
    // that the contents do not list, following linked pages in turn.
    bool GetLinkPages(const std::u16string& f);
    // Links to contents pages become links to their bookmarks; anchors are renamed to be unique
    // in the document; a hint with the target's chapter number may follow each such link.
    std::u16string ChangeUrlBookmark(const std::u16string& str, const TTitleList& Base);
    // Entries pointing at an anchor of a split page are pointed at their split part file.
    void ProcessTocLink2();
    // Style sheets made to show hidden content and left-align justified text.
    void ChangeCSS();
    // Cuts the parts pages share, distils, splits and writes back every page.
    void RemoveSame();

    // How RemoveSame counts the pages that share a block: by grouping equal texts and ruling out
    // pairs that cannot match before comparing them, or by comparing every pair. Both give the
    // same result; the plain way exists to show that.
    enum class Voting { Fast, Plain };
    Voting voting = Voting::Fast;

    // Gives a cancel request its chance inside a long step: at most ten times a second, an
    // empty progress report (which keeps what is shown) goes out, and a pending cancel is
    // raised from it as EUserCancel.
    void pulse();

private:
    void report(const std::u16string& info, int persent);
    // A link to a page: the page's full path (anchor and query dropped) and the link's text.
    struct PageLink {
        std::u16string file, text;
    };
    // The links of `text`, the text of page `page`, that A and AREA tags make to pages of this
    // help file, in the order they stand.
    std::vector<PageLink> linkedPages(const std::u16string& text, const std::u16string& page);
    // The page's text with its frames shown, written back when they changed it.
    std::u16string readShowingFrames(const std::u16string& page);
    void addLinkedFile(const std::u16string& Link, const std::u16string& baseFolder,
                       std::vector<std::u16string>& toVisit);
    std::u16string changeLinkAttribute(const std::u16string& Name, const std::u16string& Value,
                                       const TTitleList& Base, std::u16string& chapter);
    std::u16string otherHelpFileFolder(const std::u16string& helpFile);

    std::chrono::steady_clock::time_point m_lastPulse{};
    StringSet m_shownFrames;       // pages shown inside a frameset
    std::u16string m_titleEnding;  // the ending cut from the titles of contents made from links
};

// The style normaliser: display:none (with any spacing) becomes display:block, and
// Align=justify (bare or quoted) becomes Align=left, in any letter case.
std::u16string StyleNormaliser(std::u16string_view S);

// `titles` without the ending they all share, when there are two or more and it begins with
// white space (" | Product v1"), with separators and white space left before it cut as well;
// a title that is nothing but that ending is kept whole. Without one all share, the longest
// ending led by white space and a separator mark ("|", "-", ":", "(", ...) that at least 80% of
// the titles have is cut from those that have it. Gives the ending cut, empty for none.
std::u16string trimSharedTitleSuffix(std::vector<std::u16string>& titles);
// `title` without `ending` and the separators and white space before it, as
// trimSharedTitleSuffix cuts; as it is when it does not end so or is nothing but the ending.
std::u16string withoutTitleEnding(const std::u16string& title, std::u16string_view ending);

// The chapter number of every entry of `list`, by the nine counters of levels 0 to 8.
void numberChapters(TTitleLists& list);

}  // namespace quillet
