#include "hh/entry_path.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

struct Case {
    std::string name;
    EntryKind kind;
    std::string path;  // for File: the expected relative path
};

TEST(EntryPath, NamesMapInsideTheFolderOrAreLeftOut) {
    const std::string longPart(256, 'a');
    const Case kCases[] = {
        // Ordinary files keep their folders and their bytes, UTF-8 and spaces included.
        {"/a.htm", EntryKind::File, "a.htm"},
        {"/html/intro/a b.htm", EntryKind::File, "html/intro/a b.htm"},
        {"/章节/页面.htm", EntryKind::File, "章节/页面.htm"},
        {"/_#_README_#_", EntryKind::File, "_#_README_#_"},
        {"/sub/#frag.htm", EntryKind::File, "sub/#frag.htm"},
        {"a.htm", EntryKind::File, "a.htm"},
        {"/a/./b.htm", EntryKind::File, "a/b.htm"},
        {"/a//b.htm", EntryKind::File, "a/b.htm"},
        {"/..a/b..htm", EntryKind::File, "..a/b..htm"},
        {"/a\\b.htm", EntryKind::File, "a\\b.htm"},
        {"/" + std::string(255, 'a'), EntryKind::File, std::string(255, 'a')},
        // The help system's own data.
        {"/#SYSTEM", EntryKind::Internal, ""},
        {"/$WWKeywordLinks/BTree", EntryKind::Internal, ""},
        {"::DataSpace/Storage/MSCompressed/Content", EntryKind::Internal, ""},
        // Folders appear as their files need them.
        {"/", EntryKind::Folder, ""},
        {"/images/", EntryKind::Folder, ""},
        {"/./", EntryKind::Folder, ""},
        {"/.", EntryKind::Folder, ""},
        // Names that would land elsewhere.
        {"/../evil.htm", EntryKind::Refused, ""},
        {"/a/../../evil.htm", EntryKind::Refused, ""},
        {"/a/..", EntryKind::Refused, ""},
        {"../evil.htm", EntryKind::Refused, ""},
        {"/..\\..\\evil.htm", EntryKind::Refused, ""},
        {"/a\\..\\..\\evil.htm", EntryKind::Refused, ""},
        {"//etc/evil.htm", EntryKind::Refused, ""},
        {"/\\evil.htm", EntryKind::Refused, ""},
        {"/C:/evil.htm", EntryKind::Refused, ""},
        {"/c:evil.htm", EntryKind::Refused, ""},
        {"/" + longPart, EntryKind::Refused, ""},
        {"/a/" + longPart + "/b.htm", EntryKind::Refused, ""},
        {"/line\nend.htm", EntryKind::Refused, ""},
        {"/esc\x1b[31m.htm", EntryKind::Refused, ""},
        {"/del\x7f.htm", EntryKind::Refused, ""},
        {"/tab/\tx.htm", EntryKind::Refused, ""},
        {"/caf\xc3\xa9 b.htm", EntryKind::File, "caf\xc3\xa9 b.htm"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const EntryPath entry = classifyEntry(c.name);
        EXPECT_EQ(entry.kind, c.kind);
        if (c.kind == EntryKind::File) {
            EXPECT_EQ(entry.path.generic_string(), c.path);
        }
        if (c.kind == EntryKind::Refused) {
            EXPECT_FALSE(entry.reason.empty());
        }
    }
}

}  // namespace
}  // namespace quillet
