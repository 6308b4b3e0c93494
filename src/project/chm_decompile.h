// The project object of one conversion: what is known of the help file (title, default topic,
// language, code page), its working folder and its contents list. The first class of the chain
// TCHMDecompile -> TCHMDistill -> TChmToDocPDF that carries a conversion through every stage.
#pragma once

#include "project/title_list.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// Progress report: the text to show (empty keeps the current one) and the gauge position 0..100
// (0 keeps the current one).
using TProcEvent = std::function<void(const std::u16string& info, int persent)>;

class TCHMDecompile {
public:
    TCHMDecompile() = default;
    virtual ~TCHMDecompile() = default;
    TCHMDecompile(const TCHMDecompile&) = delete;
    TCHMDecompile& operator=(const TCHMDecompile&) = delete;

    // Reads language, default topic and title from the help file's system records, by their
    // codes. Without a default topic record the default topic is the home page of the help
    // file's first window definition (read by the Unpacker program); without a title record the
    // title is that window's caption, unless the caption names the tool that made the file, else
    // the compiled file's name the records hold. Without any records only chmFile changes. Throws
    // std::system_error when the file cannot be opened, std::runtime_error when a record runs past
    // the end of the file.
    virtual void LoadFromCHM(const std::u16string& ChmFile);

    // Unpacks chmFile into rootFolder with quillet-hh, then reads the contents and index files.
    // Throws when the folder cannot be made or the help file cannot be unpacked. When the
    // contents give no entry, the default topic becomes the one entry. While quillet-hh runs,
    // the progress event is called with nothing to show (every kWaitCheckInterval), so that a
    // cancel it raises stops quillet-hh and comes through here.
    virtual void decompile();

    // Appends the entries of hhcFile to List; adds the keywords of hhkFile (none when empty).
    void LoadContents();
    void LoadIndex();

    TTitleLists List;
    std::string rTitle;        // the stored title bytes, without the terminating NUL
    std::string rDefaultPage;  // the stored default topic bytes
    int rCodePage = 0;
    std::u16string LangID;  // "0x" and upper-case hexadecimal digits
    std::u16string Title;
    std::u16string DefaultPage;
    int CodePage = 0;  // code page of the contents and index files
    // Where CodePage came from: "locale" (the help file's), "user" (chosen; set by the caller
    // before decompile) or "pages" (most pages that declare a character set agree on another
    // one than the locale's; decompile decides it after unpacking).
    std::u16string CodePageSource = u"locale";
    std::u16string hhcFile;
    std::u16string hhkFile;
    std::u16string rootFolder;  // working folder, ending in "/"
    std::u16string DefaultWindow;
    std::vector<std::u16string> Context;
    std::u16string chmFile;
    // The help file as the user named it, when chmFile is a working copy of it: links to this
    // help file by name, and to help files beside it, are resolved against this one.
    std::u16string OriginalFile;
    std::u16string FileName;
    TProcEvent FOnChange;
    // How decompile runs quillet-hh: the program (a name looked up as RunAndWait does, or a path
    // without blanks), and the most bytes it may unpack (0: quillet-hh's own limit, relative to
    // the help file's size).
    std::u16string Unpacker = u"quillet-hh";
    std::uint64_t MaxUnpackSize = 0;
    // The most contents entries and pages a conversion takes on; more is an error naming the
    // limit. Real help files reach some tens of thousands.
    static constexpr std::size_t kDefaultMaxEntries = 200'000;
    std::size_t MaxEntries = kDefaultMaxEntries;
    // Throws when `count` entries or pages (`what`) pass MaxEntries.
    void checkEntryCount(std::size_t count, const char* what) const;

private:
    void addDefaultTopicEntry();
    // The texts of chmFile's first window definition, as stored; each unset without one.
    struct WindowTexts {
        std::optional<std::string> caption, home, generator;
    };
    WindowTexts windowDefinition() const;
    // Takes the code page most pages declare when it is not the locale's (see CodePageSource).
    void adoptCodePageOfPages();
};

// The first file under Folder (searched depth-first, each folder in name order without regard
// to letter case) whose extension, with its dot, equals Ext without regard to letter case.
// Empty when there is none.
std::u16string FindFileByExt(const std::u16string& Folder, const std::u16string& Ext);

// Whether a window caption names the tool that made the help file rather than the help file:
// it is, or is part of, the contents file's `generator` meta (letter case and spaces aside).
bool namesGenerator(std::string_view caption, const std::optional<std::string>& generator);

}  // namespace quillet
