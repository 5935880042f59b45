#include "common/ini.h"

#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>

#include <sys/stat.h>

using namespace common;
using testing_support::TempDir;

namespace {

void put(const std::filesystem::path& path, std::string_view text)
{
    testing_support::write_file(path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

std::string get(const std::filesystem::path& path)
{
    const auto bytes = testing_support::read_file(path);
    return {bytes.begin(), bytes.end()};
}

std::size_t files_in(const std::filesystem::path& folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

} // namespace

TEST(IniReadNumber, ConvertsLikeAtoiAndClampsToThe32BitRange)
{
    TempDir dir;
    const struct
    {
        const char* value;
        std::int32_t expected;
    } cases[] = {{"", 0},
                 {"yes", 0},
                 {"0x10", 0},
                 {"- 5", 0},
                 {"12abc", 12},
                 {"-12", -12},
                 {"+7", 7},
                 {"2147483647", std::numeric_limits<std::int32_t>::max()},
                 {"2147483648", std::numeric_limits<std::int32_t>::max()},
                 {"99999999999999999999999", std::numeric_limits<std::int32_t>::max()},
                 {"-2147483648", std::numeric_limits<std::int32_t>::min()},
                 {"-99999999999999999999999", std::numeric_limits<std::int32_t>::min()}};
    std::string text = "[n]\r\n";
    for (std::size_t i = 0; i < std::size(cases); ++i)
        text += "k" + std::to_string(i) + "=" + cases[i].value + "\r\n";
    put(dir / "n.ini", text);

    IniDocument ini = ini_open((dir / "n.ini").string());
    ini_select_group(ini, "n");
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(ini_read_number(ini, "k" + std::to_string(i), -3), cases[i].expected) << cases[i].value;
    EXPECT_EQ(ini_read_number(ini, "absent", -3), -3);
}

TEST(IniOpen, SortsLinesIntoCommentsGroupsAndEntries)
{
    TempDir dir;
    put(dir / "a.ini", "[Open\r\n"
                       "; key = in a comment\r\n"
                       "  \t;key2=also a comment\r\n"
                       "Spaced key \t =  \t value\r\n"
                       "NoEquals   \r\n"
                       "=nameless\r\n"
                       "[Closed] key = after the bracket\r\n"
                       "key = closed\r\n"
                       "[]\r\n"
                       "key = unnamed\r\n"
                       "[Grüße]\r\n"
                       "Ärger = 1\r\n");
    IniDocument ini = ini_open((dir / "a.ini").string());

    ini_select_group(ini, "open");
    EXPECT_EQ(ini_read_text(ini, "key", "-"), "-");
    EXPECT_EQ(ini_read_text(ini, "key2", "-"), "-");
    EXPECT_EQ(ini_read_text(ini, "SPACED KEY", "-"), "value");
    EXPECT_EQ(ini_read_text(ini, "NoEquals", "-"), "");
    EXPECT_EQ(ini_read_text(ini, "", "-"), "nameless");

    ini_select_group(ini, "Closed");
    EXPECT_EQ(ini_read_text(ini, "key", "-"), "closed");
    ini_select_group(ini, "");
    EXPECT_EQ(ini_read_text(ini, "key", "-"), "unnamed");
    ini_select_group(ini, "Closed] key = after the bracket");
    EXPECT_EQ(ini_read_text(ini, "key", "-"), "-");
    // Case folding stops at A-Z: bytes of other letters are compared as they are.
    ini_select_group(ini, "GRüße");
    EXPECT_EQ(ini_read_text(ini, "Ärger", "-"), "1");
    EXPECT_EQ(ini_read_text(ini, "ärger", "-"), "-");
}

TEST(IniWrite, EntriesFollowTheLastLineOfTheirGroupAndNewGroupsGoLast)
{
    TempDir dir;
    const auto path = dir / "w.ini";
    put(path, "[A]\na=1\n;note\n;  two blanks\n\n[B]\nb=2");
    IniDocument ini = ini_open(path.string());
    ini_select_group(ini, "a");
    ini_write_text(ini, "x", "9");
    ini_select_group(ini, "C");
    EXPECT_EQ(ini_read_text(ini, "c", "-"), "-");
    ini_write_number(ini, "c", -3);
    ini_write_text(ini, "d", "");
    EXPECT_EQ(ini_read_number(ini, "c", 0), -3);
    ini_select_group(ini, "B");
    ini_write_text(ini, "y", "8");
    EXPECT_TRUE(ini_close(ini));

    EXPECT_EQ(get(path),
              "[A]\r\na = 1\r\n; note\r\n;  two blanks\r\nx = 9\r\n[B]\r\nb = 2\r\ny = 8\r\n[C]\r\nc = -3\r\nd = \r\n");
    EXPECT_EQ(files_in(dir.path()), 1u);
}

TEST(IniWrite, ADocumentClosedUnwrittenLeavesTheFileAlone)
{
    TempDir dir;
    const auto path = dir / "k.ini";
    const std::string original = "[Main]\nkey=value\n";
    put(path, original);

    IniDocument opened = ini_open(path.string());
    ini_select_group(opened, "Main");
    EXPECT_EQ(ini_read_text(opened, "key", ""), "value");
    EXPECT_FALSE(ini_close(opened));

    IniDocument created = ini_create(path.string());
    ini_select_group(created, "Main");
    EXPECT_FALSE(ini_close(created));

    IniDocument dropped = ini_create(path.string());
    ini_select_group(dropped, "Main");
    ini_write_text(dropped, "key", "never saved");
    dropped = IniDocument();

    EXPECT_EQ(get(path), original);
    EXPECT_EQ(files_in(dir.path()), 1u);
}

TEST(IniWrite, FailuresLeaveNothingBehind)
{
    TempDir dir;
    IniDocument inert = ini_create((dir / "no" / "such" / "folder.ini").string());
    ini_select_group(inert, "Main");
    ini_write_text(inert, "key", "value");
    EXPECT_EQ(ini_read_text(inert, "key", "-"), "-");
    EXPECT_FALSE(ini_close(inert));
    EXPECT_EQ(files_in(dir.path()), 0u);

    // A folder in the file's place: everything succeeds up to the final rename.
    std::filesystem::create_directory(dir / "taken.ini");
    IniDocument blocked = ini_create((dir / "taken.ini").string());
    ini_select_group(blocked, "Main");
    ini_write_text(blocked, "key", "value");
    EXPECT_FALSE(ini_close(blocked));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.ini"));
    EXPECT_EQ(files_in(dir.path()), 1u);
}

TEST(IniWrite, AReplacedFileKeepsItsPermissions)
{
    TempDir dir;
    const auto path = dir / "p.ini";
    put(path, "old");
    std::filesystem::permissions(path, std::filesystem::perms(0640));
    IniDocument ini = ini_create(path.string());
    ini_select_group(ini, "Main");
    ini_write_text(ini, "key", "new");
    ASSERT_TRUE(ini_close(ini));
    EXPECT_EQ(get(path), "[Main]\r\nkey = new\r\n");
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
}

// A settings file that is a FIFO (or a folder) reads as an empty document at once: opening a FIFO must not wait
// for a writer that never comes.
TEST(IniOpen, AFifoOrAFolderReadsAsAnEmptyDocumentWithoutWaiting)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo.ini").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder.ini");
    for (const char* name : {"fifo.ini", "folder.ini"}) {
        IniDocument ini = ini_open((dir / name).string());
        ini_select_group(ini, "Main");
        EXPECT_EQ(ini_read_text(ini, "key", "-"), "-") << name;
    }
}
