#include "distill/chm_distill.h"

#include "distill/working_files.h"
#include "platform/utf.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;
using testing::TempDir;

std::string fileText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Every file below `folder`, by its path there, with its bytes.
std::map<std::string, std::string> folderContents(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[entry.path().lexically_relative(folder).string()] = fileText(entry.path());
    return files;
}

// A working folder "root" in `folder`, unpacked from Guide.chm with Other.chm beside it, with
// pages that share a header and footer, a style sheet, a page split at two contents anchors, a
// page listed under two names, a page without a body that distils to nothing, a page whose text
// does not survive being written in the encoding it declares, and a link into Other.chm that is
// judged before a later page has Other.chm unpacked into the folder.
void writeProject(const fs::path& project, TCHMDistill& job) {
    const fs::path folder = project / "root";
    fs::create_directories(folder / "sub");
    fs::copy_file(testing::fixturesFolder() / "nested.chm", project / "Other.chm");
    job.rootFolder = fromPath(folder) + u"/";
    job.OriginalFile = fromPath(project / "Guide.chm");
    const auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(folder / name, std::ios::binary) << text;
    };
    const auto entry = [&](const char16_t* topic, const char16_t* url) {
        TTitleList& e = job.List.add();
        e.Topic = topic;
        e.Url = url;
    };
    const std::string nav = "<div class=nav>Home | Index | Search this help</div>\n";
    const std::string foot = "<p class=foot>Copyright 2020 Example Corporation</p>\n";
    const char* const words[] = {"apple", "brook", "cedar", "dune",  "ember",
                                 "fjord", "grove", "heron", "inlet", "juniper"};
    for (int n = 0; n < 10; ++n) {
        const std::string name = "p" + std::to_string(n);
        std::string links = "<a href=\"p" + std::to_string((n + 1) % 10) + ".htm\">next</a>";
        if (n == 0) links += " <a href=\"a.htm\">a</a>";
        if (n == 1) links += " <a href=\"bare.htm\">bare</a>";
        if (n == 3) links += " <a href=\"Other.chm/a.htm\">other</a>";
        if (n == 4) links += " <a href=\"ms-its:Other.chm::/a.htm\">other</a>";
        write(name + ".htm", "<html><head><title>" + name +
                                 "</title><link rel=stylesheet href=\"style.css\" media=\"screen\">"
                                 "</head><body>\n" +
                                 nav + "<h1>" + name + "</h1>\n<p>All about " + words[n] + " " +
                                 links + "</p>\n" + foot + "</body></html>");
        entry(fromUtf8(name).c_str(), fromUtf8(name + ".htm").c_str());
    }
    write("style.css", "p { display:none; text-align: justify }");
    write("guide.htm",
          "<html><head><title>Guide</title></head><body>\n" + nav +
              "<h2><a name=\"one\"></a>One</h2><p>The first part, about cedar and dune.</p>\n"
              "<h2><a name=\"two\"></a>Two</h2><p>The second part, about ember and fjord.</p>\n" +
              foot + "</body></html>");
    entry(u"One", u"guide.htm#one");
    entry(u"Two", u"guide.htm#two");
    // Listed as "sub/../a.htm" and reached from p0 as "a.htm": two names of one file.
    write("a.htm", "<html><body>\n" + nav +
                       "<h1>A</h1>\n<p>Page a <a href=\"p2.htm\">on</a></p>\n" + foot +
                       "</body></html>");
    entry(u"A", u"sub/../a.htm");
    // No body, and nothing but the common footer: it distils to nothing and keeps its links
    // rewritten.
    write("bare.htm", "<link href=\"style.css\" media=\"screen\">" + foot);
    // Read as UTF-8 by its mark; the code page it declares has no place for the Chinese letters,
    // so it is written in UTF-8 and its declaration changes.
    write("latin.htm",
          "\xEF\xBB\xBF<html><head><meta http-equiv=Content-Type content=\"text/html; "
          "charset=iso-8859-1\"></head><body>\n" +
              nav + "<h1>Latin</h1>\n<p>Latin text \xE4\xB8\xAD\xE6\x96\x87 caf\xC3\xA9</p>\n" +
              foot + "</body></html>");
    entry(u"Latin", u"LATIN.HTM");
}

TEST(WorkingFiles, ExecuteLeavesTheFolderTheStepsOneByOneLeave) {
    // quillet-hh unpacks Other.chm.
    const ScopedEnv path("PATH", testing::binFolder().string() + ":" + std::getenv("PATH"));
    TempDir dir;
    TCHMDistill stepwise, held, partlyHeld;
    writeProject(dir.path() / "stepwise", stepwise);
    writeProject(dir.path() / "held", held);
    writeProject(dir.path() / "partly", partlyHeld);

    // Each step on its own reads and writes the folder.
    stepwise.ProcessTocLink();
    stepwise.FillFileList();
    stepwise.ChangeCSS();
    stepwise.RemoveSame();
    stepwise.NonTocFileToToc();
    stepwise.GetChapterNumber();
    stepwise.GetBookmark();
    stepwise.List.initializeUrls();
    stepwise.DistillPages();
    stepwise.ProcessTocLink2();

    held.Execute();
    EXPECT_FALSE(held.workingFiles.holding());
    // Past a hold limit of a few pages, the rest are written as they change.
    partlyHeld.holdLimit = 600;
    partlyHeld.Execute();

    const auto expected = folderContents(dir.path() / "stepwise" / "root");
    EXPECT_EQ(folderContents(dir.path() / "held" / "root"), expected);
    EXPECT_EQ(folderContents(dir.path() / "partly" / "root"), expected);
    // The cases the project is meant to hold did arise.
    EXPECT_TRUE(expected.count("guide_1.htm"));
    EXPECT_NE(expected.at("a.htm").find("Page a"), std::string::npos);
    EXPECT_TRUE(stepwise.NonTocicFiles.contains(stepwise.rootFolder + u"Other.chm/a.htm"));
    EXPECT_NE(expected.at("bare.htm").find("media=\"all\""), std::string::npos);
    // A page whose code page cannot hold its text is written in UTF-8, and says so.
    EXPECT_TRUE(expected.at("latin.htm").starts_with("\xEF\xBB\xBF"));
    EXPECT_NE(expected.at("latin.htm").find("charset=utf-8\""), std::string::npos);
    EXPECT_NE(expected.at("latin.htm").find("Latin text \xE4\xB8\xAD\xE6\x96\x87 caf\xC3\xA9"),
              std::string::npos);
    ASSERT_EQ(held.List.size(), stepwise.List.size());
    for (std::size_t n = 0; n < held.List.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(held.List[n].Url, stepwise.List[n].Url);
        EXPECT_EQ(held.List[n].Topic, stepwise.List[n].Topic);
    }
}

TEST(WorkingFiles, HeldFilesAreFoundUnderAnyNameAndWrittenOnceAtTheFlush) {
    TempDir dir;
    fs::create_directories(dir.path() / "sub");
    std::ofstream(dir.path() / "Page.htm") << "old";
    const std::u16string root = fromPath(dir.path()) + u"/";
    WorkingFiles files;
    files.hold();
    files.write(u"<p>new</p>", root + u"PAGE.HTM", root);
    files.write(u"<p>part</p>", root + u"sub/Part_0.htm", root);
    files.write(u"<p>part again</p>", root + u"SUB/part_0.HTM", root);

    EXPECT_EQ(fileText(dir.path() / "Page.htm"), "old");
    EXPECT_FALSE(fs::exists(dir.path() / "sub" / "Part_0.htm"));
    EXPECT_EQ(files.read(root + u"sub/../page.htm", root), u"<p>new</p>");
    EXPECT_EQ(files.read(root + u"sub/PART_0.htm", root), u"<p>part again</p>");

    files.flush();
    EXPECT_FALSE(files.holding());
    EXPECT_EQ(folderContents(dir.path()),
              (std::map<std::string, std::string>{{"Page.htm", "<p>new</p>"},
                                                  {"sub/Part_0.htm", "<p>part again</p>"}}));
}

TEST(WorkingFiles, AFailedFlushNamesTheFileAndTheCause) {
    TempDir dir;
    fs::create_directories(dir.path() / "sub");
    const std::u16string root = fromPath(dir.path()) + u"/";
    WorkingFiles files;
    files.hold();
    files.write(u"text", root + u"sub/new.htm", root);
    fs::remove(dir.path() / "sub");
    try {
        files.flush();
        ADD_FAILURE() << "the flush did not fail";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "cannot write " +
                                             (dir.path() / "sub" / "new.htm").string() +
                                             ": No such file or directory");
    }
    EXPECT_FALSE(files.holding());
}

}  // namespace
}  // namespace quillet
