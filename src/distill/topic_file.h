// One topic page being distilled: its head part, body and tail, the block walkers that the
// cross-page comparison steps through, and Distiller, which cuts out the element that holds the
// page's content inside the kept range, without the page's own title heading.
#pragma once

#include "distill/bookmarks.h"
#include "distill/html_tags.h"
#include "distill/sorted_list.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace quillet {

class TCHMDistill;

class TChmTopicFile {
public:
    TChmTopicFile();
    // Reads the page, removes marked navigation sections and cuts it into head, body and tail;
    // the kept range starts as the whole body.
    TChmTopicFile(const std::u16string& TopicFile, const std::u16string& Title, TCHMDistill* Owner);
    // The same for a page whose text the caller has read.
    TChmTopicFile(const std::u16string& TopicFile, const std::u16string& Title, TCHMDistill* Owner,
                  const std::u16string& PageText);

    // The page text without the navigation blocks some authoring tools mark with comments, and
    // with Word's outline-level style property disarmed.
    static std::u16string PreprocessForSpecialHelpAuthoringTools(const std::u16string& Source);

    // A fresh walker stack: only the root entry.
    void IniticalizeTags();

    // Advance the walker by one text block from `i` downwards (towards the end) or upwards.
    // The block is in Text; FindText says the walk stopped at a break tag and resumes there.
    // Empty blocks met on the way move SamePointL (down) or SamePointH (up) past them.
    int SearchDown();
    int SearchUp();

    // Whether the block after the current one, going down, is the page's title. The walker is
    // left where it was.
    bool TitleFollows();

    static bool IsSimilar(std::u16string_view S1, std::u16string_view S2);
    // Whether the block Str (of which PictureChars characters are picture names) is the page's
    // title: like Title1 or Title2, and no sentence that merely holds it.
    bool IsTitle(std::u16string_view Str, std::size_t PictureChars = 0) const;

    // The distilled body. Changes no field but TitleFound.
    std::u16string Distiller();

    // The anchor names that the body's A tags define (one leading "#" dropped).
    void FindAnchors();
    // Places each contents anchor at the start of the text block where its A tag (by name) or
    // any element (by id) stands.
    void ProcessBookmarks();
    // Writes one split part file per bookmark (NAME_n.EXT beside the page), each part distilled
    // once more. Bookmarks must be sorted.
    void SplitFileByBookmark();
    // The file of split part n: the page's path with "_n" before its extension.
    std::u16string partFileName(int n) const;

    TCHMDistill* Owner = nullptr;
    std::u16string Filename;
    StringSet Anchors;
    TBookmarks Bookmarks;
    int QuoteCount = 0;
    std::u16string BeforeBody;
    std::u16string Body;
    std::u16string AfterBody;
    std::u16string Title1;  // title of the first contents entry that points here
    std::u16string Title2;  // the page's own title element
    std::u16string Title3;  // first block below the common top parts
    bool InTag = false;
    bool IsTagName = false;
    bool IsStartTag = false;
    bool FindText = false;
    std::u16string TagAll;
    std::u16string TagName;
    std::u16string Text;
    bool TextHasLink = false;          // the block in Text holds a link (an A tag with an href)
    std::size_t TextPictureChars = 0;  // characters of Text that are picture names (going down)
    int CurrentIndex = 0;
    int i = 0;  // walker position in Body, from 1
    int L = 0;
    int h = 0;
    int SamePointH = 0;  // body characters at and after this position are cut
    int SamePointL = 0;  // body characters before this position are cut
    bool TitleFound = false;
    THtmlTags Tags;

private:
    // The file name of an img tag's src, unless it names a navigation picture.
    static std::optional<std::u16string> pictureName(std::u16string_view imgTag);
};

// The topic files of a distillation, owned, in creation order.
class TChmTopicFileList {
public:
    TChmTopicFile& add(std::unique_ptr<TChmTopicFile> file);
    std::size_t size() const { return m_files.size(); }
    TChmTopicFile& operator[](std::size_t i) { return *m_files[i]; }
    void clear() {
        m_files.clear();
        m_byName.clear();
    }
    // The first file whose Filename equals FileName without regard to letter case.
    TChmTopicFile* GetItemByFilename(std::u16string_view FileName) const;

private:
    std::vector<std::unique_ptr<TChmTopicFile>> m_files;
    std::unordered_map<std::u16string, TChmTopicFile*> m_byName;  // folded Filename -> first
};

}  // namespace quillet
