#include "common/settings.h"

#include "support/file_size_limit.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

using common::Settings;
using testing_support::TempDir;

namespace {

// Every field differs from what the files below hold, so a value that is not read shows.
const Settings START{"/home/user/", "/home/user/disc.tap", 1, "/usr/bin/samdisk"};

void put(const std::filesystem::path& path, std::string_view text)
{
    testing_support::write_file(path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

std::string get(const std::filesystem::path& path)
{
    const auto bytes = testing_support::read_file(path);
    return {bytes.begin(), bytes.end()};
}

Settings load_text(std::string_view text)
{
    TempDir dir;
    put(dir / "kestrel.ini", text);
    Settings settings = START;
    common::load_settings((dir / "kestrel.ini").string(), settings);
    return settings;
}

std::string saved_text(const Settings& settings)
{
    TempDir dir;
    EXPECT_TRUE(common::save_settings((dir / "kestrel.ini").string(), settings));
    return get(dir / "kestrel.ini");
}

// default_settings() with HOME set to home (unset for nullptr), leaving HOME as it was.
Settings defaults_with_home(const char* home)
{
    const char* old = std::getenv("HOME");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    home ? setenv("HOME", home, 1) : unsetenv("HOME");
    Settings settings = common::default_settings();
    saved ? setenv("HOME", saved->c_str(), 1) : unsetenv("HOME");
    return settings;
}

} // namespace

namespace common {
void PrintTo(const Settings& s, std::ostream* out)
{
    *out << '{' << s.Currentdir << ", " << s.savefile << ", " << s.BasStrip << ", " << s.SAMDisk << '}';
}
} // namespace common

TEST(LoadSettings, NoFileKeepsEveryValueAndCreatesNothing)
{
    TempDir dir;
    Settings settings = START;
    common::load_settings((dir / "kestrel.ini").string(), settings);
    EXPECT_EQ(settings, START);
    EXPECT_FALSE(std::filesystem::exists(dir / "kestrel.ini"));
}

TEST(LoadSettings, ReadsTheFirstMainGroupByTheIniRules)
{
    const struct
    {
        const char* text;
        Settings expected;
    } cases[] = {
        {"[main]\r\nCURRENTDIR=/x/\r\nSAVEFILE=/x/a.tap\r\nbasstrip=0\r\nsamdisk=/s\r\n", {"/x/", "/x/a.tap", 0, "/s"}},
        {"[Main]\r\nBasStrip =\r\nSAMDisk=\r\n", {"/home/user/", "/home/user/disc.tap", 0, ""}},
        {"[Main]\r\nBasStrip = on\r\n", {"/home/user/", "/home/user/disc.tap", 0, "/usr/bin/samdisk"}},
        {"[Main]\r\nBasStrip = 7\r\nbasstrip = 0\r\n", {"/home/user/", "/home/user/disc.tap", 7, "/usr/bin/samdisk"}},
        {"[Main]\r\nCurrentdir = \t/my discs/ \t \r\nsavefile=\t/a;b ; c.tap\r\n",
         {"/my discs/", "/a;b ; c.tap", 1, "/usr/bin/samdisk"}},
        // Single CR or LF line ends, a line without "=", no line end at the very end.
        {"[Main]\rCurrentdir = /cr/\rSAMDisk\rBasStrip = 0", {"/cr/", "/home/user/disc.tap", 0, ""}},
        {"[Main]\nCurrentdir = /lf/\n\n\nSAMDisk  \nsavefile = /t", {"/lf/", "/t", 1, ""}},
        // None of these is the Main group, or they stand outside it.
        {"[ Main ]\r\nCurrentdir = /x/\r\n", START},
        {"Currentdir = /x/\r\nBasStrip = 0\r\n[Main]\r\n", START},
        {"[Other]\r\nCurrentdir = /x/\r\n[Main]\r\n", START},
        {"[Main]\r\n[Main]\r\nCurrentdir = /x/\r\n", START},
    };
    for (const auto& c : cases)
        EXPECT_EQ(load_text(c.text), c.expected) << c.text;
}

TEST(SaveSettings, WritesExactlyTheFiveLines)
{
    EXPECT_EQ(saved_text(defaults_with_home("/home/user")), "[Main]\r\n"
                                                            "Currentdir = /home/user/\r\n"
                                                            "savefile = /home/user/disc.tap\r\n"
                                                            "BasStrip = 1\r\n"
                                                            "SAMDisk = \r\n");
    EXPECT_EQ(saved_text({"/media/discs/", "/media/tapes/game.tap", 0, "/opt/samdisk/samdisk"}),
              "[Main]\r\n"
              "Currentdir = /media/discs/\r\n"
              "savefile = /media/tapes/game.tap\r\n"
              "BasStrip = 0\r\n"
              "SAMDisk = /opt/samdisk/samdisk\r\n");
}

TEST(SaveSettings, KeepsNothingButTheFiveLinesOfWhatWasRead)
{
    TempDir dir;
    const std::string path = (dir / "kestrel.ini").string();
    put(path, "\xEF\xBB\xBF; written by hand\r\n\r\n[Other]\r\nkey = 1\r\n\r\n[main]\r\n; the disc folder\r\n"
              "Currentdir = /x/\r\nextra = 2\r\nBasStrip = 7\r\nCURRENTDIR = /y/\r\n");
    Settings settings = START;
    common::load_settings(path, settings);
    ASSERT_TRUE(common::save_settings(path, settings));
    EXPECT_EQ(get(path), "[Main]\r\nCurrentdir = /x/\r\nsavefile = /home/user/disc.tap\r\nBasStrip = 7\r\n"
                         "SAMDisk = /usr/bin/samdisk\r\n");
}

TEST(SaveSettings, NonAsciiPathBytesSurviveARoundTrip)
{
    Settings original = START;
    // UTF-8 names, and bytes that are not UTF-8 at all: the file system accepts both.
    original.Currentdir = "/home/j\xC3\xBCrgen/\xE6\x97\xA5\xE6\x9C\xAC/";
    original.savefile = "/tmp/\xFF\xC3(\x80.tap";
    TempDir dir;
    const std::string path = (dir / "kestrel.ini").string();
    ASSERT_TRUE(common::save_settings(path, original));
    Settings loaded;
    common::load_settings(path, loaded);
    EXPECT_EQ(loaded, original);

    put(path, "\xEF\xBB\xBF" + get(path));
    Settings from_utf8;
    common::load_settings(path, from_utf8);
    EXPECT_EQ(from_utf8, original);
}

TEST(SaveSettings, AWriteThatFailsHalfWayKeepsTheOldFile)
{
    TempDir dir;
    const auto path = dir / "kestrel.ini";
    const std::string original = "[Main]\r\nCurrentdir = /old/\r\n";
    put(path, original);
    {
        testing_support::FileSizeLimit limit(8); // as on a full disc
        EXPECT_FALSE(common::save_settings(path.string(), START));
    }
    EXPECT_EQ(get(path), original);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1); // no temporary file left
}

TEST(SaveSettings, AWriteProtectedFolderOrFileKeepsTheOldFile)
{
    TempDir dir;
    const auto path = dir / "kestrel.ini";
    const std::string original = "[Main]\r\nCurrentdir = /old/\r\n";
    put(path, original);

    std::filesystem::permissions(dir.path(), std::filesystem::perms(0555));
    if (std::ofstream(dir / "probe"))
        GTEST_SKIP() << "permission bits do not stop this user from writing";
    EXPECT_FALSE(common::save_settings(path.string(), START));
    EXPECT_EQ(get(path), original);

    // The folder would allow a rename over the file, but the file itself says no.
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
    std::filesystem::permissions(path, std::filesystem::perms(0444));
    EXPECT_FALSE(common::save_settings(path.string(), START));
    EXPECT_EQ(get(path), original);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(DefaultSettings, UseTheHomeFolderWithOneTrailingSlash)
{
    EXPECT_EQ(defaults_with_home("/home/ann"), (Settings{"/home/ann/", "/home/ann/disc.tap", 1, ""}));
    EXPECT_EQ(defaults_with_home("/home/ann/").Currentdir, "/home/ann/");
    EXPECT_EQ(defaults_with_home("/").savefile, "/disc.tap");
    EXPECT_TRUE(defaults_with_home("").Currentdir.ends_with('/'));
    EXPECT_TRUE(defaults_with_home(nullptr).Currentdir.ends_with('/'));
}
