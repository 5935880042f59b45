// kestrel-cli over collections: the --json documents against the text outputs, and walks of folder trees.
#include "../tape/tool_run.h"
#include "cli/json_stream.h"
#include "cli_test_util.h"
#include "image/file_types.h"
#include "image/sector_source.h"
#include "support/image_builder.h"
#include "support/packing.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <set>

namespace fs = std::filesystem;
using Json = nlohmann::json;
using testing_support::ImageBuilder;
using testing_support::run_cli;
using testing_support::TempDir;

namespace {

std::string bytes_of(const Json& numbers)
{
    std::string bytes;
    for (const Json& number : numbers)
        bytes += static_cast<char>(number.get<int>());
    return bytes;
}

// The bytes whose Latin-1 characters a UTF-8 text holds; "?" marks a character beyond Latin-1.
std::string latin1_bytes(const std::string& text)
{
    std::string bytes;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto lead = static_cast<unsigned char>(text[at]);
        if (lead < 0x80)
            bytes += text[at];
        else if ((lead & 0xFE) == 0xC2 && at + 1 < text.size())
            bytes += static_cast<char>(((lead & 0x1F) << 6) | (static_cast<unsigned char>(text[++at]) & 0x3F));
        else
            return bytes + "?";
    }
    return bytes;
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
        end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
    }
    return lines;
}

Json json_of(const std::vector<std::string>& args, int code)
{
    const auto r = run_cli(args);
    EXPECT_EQ(r.code, code) << args.front();
    return Json::parse(r.out);
}

// A list line rebuilt from the JSON of a file.
std::string list_line(const Json& f)
{
    const Json& type = f["type"];
    return bytes_of(f["name_bytes"]) + '\t' + std::to_string(f["start"].get<int>()) + '\t' +
           std::to_string(f["length"].get<long>()) + '\t' + (f["attributes"]["hidden"].get<bool>() ? "H" : "") +
           (f["attributes"]["protected"].get<bool>() ? "P" : "") + '\t' + type["name"].get<std::string>() + " (" +
           std::to_string(type["code"].get<int>()) + ")\t" + std::to_string(f["first_sector"].get<int>()) + '\t' +
           std::to_string(f["first_track"].get<int>()) + '\t' + std::to_string(f["sectors"].get<int>()) + '\t' +
           std::to_string(f["slot"].get<int>());
}

} // namespace

TEST(CliJson, EveryDocumentAgreesWithTheTextOverTheRealImages)
{
    std::vector<fs::path> images = testing_support::real_images();
    for (const auto& item : fs::directory_iterator(testing_support::real_images_dir() / "sam"))
        images.push_back(item.path());
    const std::set<std::string> kinds = {"bad-header", "bad-track-link", "bad-sector-link", "wrong-sector-count",
                                         "extra-directory-tracks"};
    int findings_seen = 0;
    for (const fs::path& image : images) {
        const std::string path = image.string();
        SCOPED_TRACE(path);
        const auto list = run_cli({"list", path});
        const Json listed = json_of({"list", "--json", path}, list.code);
        ASSERT_EQ(listed["images"].size(), 1u);
        EXPECT_EQ(listed["images"][0]["image"], path);
        EXPECT_TRUE(listed["unreadable"].empty());
        const Json& files = listed["images"][0]["files"];
        std::string text;
        std::map<int, std::string> names; // by slot
        for (const Json& f : files) {
            text += list_line(f) + '\n';
            EXPECT_EQ(latin1_bytes(f["name"]), bytes_of(f["name_bytes"]));
            names[f["slot"]] = bytes_of(f["name_bytes"]);
        }
        EXPECT_EQ(text, list.out);

        // check: the findings are the problem lines, between the first line and the summary.
        const auto check = run_cli({"check", path});
        const Json checked = json_of({"check", "--json", path}, check.code);
        const Json& scan = checked["images"][0];
        const std::vector<std::string> lines = lines_of(check.out);
        ASSERT_EQ(lines.size(), scan["findings"].size() + 3);
        EXPECT_EQ(scan["problems"], scan["findings"].size());
        EXPECT_EQ(scan["files"], files.size());
        for (std::size_t n = 0; n < scan["findings"].size(); ++n) {
            const Json& finding = scan["findings"][n];
            EXPECT_EQ(latin1_bytes(finding["text"]), lines[n + 1]);
            EXPECT_TRUE(kinds.contains(finding["kind"].get<std::string>())) << finding["kind"];
            EXPECT_EQ(bytes_of(finding["name_bytes"]), names[finding["slot"]]);
            EXPECT_EQ(lines[n + 1].rfind(bytes_of(finding["name_bytes"]), 0), 0u);
            ++findings_seen;
        }

        // find '*': every file, as the list has it.
        const int found = files.empty() ? 1 : 0;
        const Json hits = json_of({"find", "--json", "*", path}, found)["hits"];
        ASSERT_EQ(hits.size(), files.size());
        std::string found_text;
        for (std::size_t n = 0; n < hits.size(); ++n) {
            EXPECT_EQ(hits[n]["image"], path);
            for (const char* field : {"slot", "name", "name_bytes", "type", "length"})
                EXPECT_EQ(hits[n][field], files[n][field]) << field;
            found_text += path + '\t' + std::to_string(hits[n]["slot"].get<int>()) + '\t' +
                          bytes_of(hits[n]["name_bytes"]) + '\t' + hits[n]["type"]["name"].get<std::string>() + " (" +
                          std::to_string(hits[n]["type"]["code"].get<int>()) + ")\t" +
                          std::to_string(hits[n]["length"].get<long>()) + '\n';
        }
        EXPECT_EQ(run_cli({"find", "*", path}).out, found_text);

        // basic: the lines of every BASIC program.
        for (const Json& f : files) {
            if (f["type"]["key"] != "zx-basic" && f["type"]["key"] != "sam-basic")
                continue;
            const std::string slot = std::to_string(f["slot"].get<int>());
            const auto basic = run_cli({"basic", path, "--slot", slot});
            if (basic.out.empty() && basic.code != 0) { // no program there: no document either
                EXPECT_EQ(run_cli({"basic", path, "--slot", slot, "--json"}).out, "");
                continue;
            }
            const Json program = json_of({"basic", path, "--slot", slot, "--json"}, basic.code);
            EXPECT_EQ(program["lines"].get<std::vector<std::string>>(), lines_of(basic.out));
            EXPECT_EQ(program["name_bytes"], f["name_bytes"]);
            EXPECT_EQ(program["damage"].is_null(), basic.err.find("damage at byte") == std::string::npos);
        }
    }
    EXPECT_GT(findings_seen, 3); // the damaged real discs were scanned with their findings
}

TEST(CliCollection, AWalkNamesEveryImageInOrderAndSkipsWhatCannotBeRead)
{
    if (!testing_support::has_tool("zip"))
        GTEST_SKIP() << "zip is not installed";
    TempDir dir;
    const fs::path root = dir / "discs";
    fs::create_directories(root / "b");
    // a.mgt: a ZX BASIC MANIC and a screen named with Latin-1's capital E acute.
    ImageBuilder a;
    a.add_zx_file(0, 1, "Manic", std::vector<std::uint8_t>(100), 23755);
    a.add_zx_file(1, 7,
                  "\xC9"
                  "cran",
                  std::vector<std::uint8_t>(6912), 16384);
    a.write(root / "a.mgt");
    ImageBuilder c;
    c.add_zx_file(4, 4, "MANIC.bin", std::vector<std::uint8_t>(2000), 32768);
    const auto c_bytes = testing_support::gzip_bytes(c.bytes());
    testing_support::write_file(root / "b" / "c.mgt.gz", c_bytes);
    ImageBuilder x;
    x.add_zx_file(2, 4, "other", std::vector<std::uint8_t>(10), 32768);
    x.write(dir / "x.mgt");
    ImageBuilder y(image::Layout::Sequential);
    y.add_sam_file(0, 19, "manicsam", std::vector<std::uint8_t>(700));
    y.write(dir / "y.img");
    ASSERT_EQ(testing_support::run_shell("cd " + testing_support::shell_quoted(dir.path().string()) +
                                         " && zip -q discs/b/pack.zip x.mgt y.img")
                  .status,
              0);
    testing_support::write_file(root / "b" / "broken.zip", std::vector<std::uint8_t>(300, 'P'));
    testing_support::write_file(root / "short.mgt", std::vector<std::uint8_t>(1000));
    testing_support::write_file(root / "notes.txt", std::vector<std::uint8_t>(10, 'x'));
    ASSERT_EQ(::mkfifo((root / "fifo.mgt").c_str(), 0600), 0);
    fs::create_directory_symlink("..", root / "b" / "up");      // a loop back to the top
    fs::create_symlink("self.mgt", root / "self.mgt");          // a link to itself
    fs::create_directory_symlink(root / "b", root / "z-again"); // the same folder twice: walked once
    const std::string top = root.string();

    const auto found = run_cli({"find", "-r", "MANIC*", top});
    EXPECT_EQ(found.code, 2);
    EXPECT_EQ(found.out, top + "/a.mgt\t0\tManic     \tZX Basic (1)\t100\n" + top +
                             "/b/c.mgt.gz\t4\tMANIC.bin \tZX Code (4)\t2000\n" + top +
                             "/b/pack.zip/y.img\t0\tmanicsam  \tSAM Code (19)\t700\n");
    const std::string unreadable = "kestrel-cli: " + top + "/b/broken.zip: ";
    EXPECT_EQ(found.err.rfind(unreadable, 0), 0u) << found.err;
    EXPECT_NE(found.err.find("kestrel-cli: " + top + "/fifo.mgt: not a regular file\n"), std::string::npos);
    EXPECT_NE(found.err.find("kestrel-cli: " + top + "/self.mgt: Too many levels of symbolic links\n"),
              std::string::npos);
    EXPECT_NE(found.err.find("kestrel-cli: " + top + "/short.mgt: size is 1000 bytes, not 819200\n"),
              std::string::npos);
    EXPECT_EQ(lines_of(found.err).size(), 4u) << found.err;
    // A name matches as the list shows it, without the spaces that pad it.
    EXPECT_EQ(run_cli({"find", "-r", "manic", top}).out, top + "/a.mgt\t0\tManic     \tZX Basic (1)\t100\n");

    // Latin-1 letters match in any case, and --type narrows; a file of 6,912 bytes is a screen.
    EXPECT_EQ(run_cli({"find", "-r", "\xC3\xA9*", "--type", "screen", top}).out,
              top + "/a.mgt\t1\t\xC9"
                    "cran     \tZX Screen$ (7)\t6912\n");
    EXPECT_EQ(run_cli({"find", "-r", "*", "--type", "sam", top}).out,
              top + "/b/pack.zip/y.img\t0\tmanicsam  \tSAM Code (19)\t700\n");
    EXPECT_EQ(run_cli({"find", "nothing", top + "/a.mgt"}).code, 1);
    EXPECT_EQ(run_cli({"find", "-r", "*", "--type", "zx-bas", top}).code, 2);

    // check takes the same images, and refuses the short one for its size.
    const Json checked = json_of({"check", "-r", "--json", top}, 2);
    std::vector<std::string> names;
    for (const Json& image : checked["images"])
        names.push_back(image["image"]);
    EXPECT_EQ(names, (std::vector<std::string>{top + "/a.mgt", top + "/b/c.mgt.gz", top + "/b/pack.zip/x.mgt",
                                               top + "/b/pack.zip/y.img"}));
    std::vector<std::string> refused;
    for (const Json& image : checked["unreadable"])
        refused.push_back(image["image"]);
    EXPECT_EQ(refused, (std::vector<std::string>{top + "/b/broken.zip", top + "/fifo.mgt", top + "/self.mgt",
                                                 top + "/short.mgt"}));
    // Without -r a folder is no image; the message says how to walk it.
    EXPECT_EQ(run_cli({"list", top}).err, "kestrel-cli: " + top + ": is a folder (-r walks into it)\n");
}

TEST(CliJson, AStreamedDocumentHasTheBytesOfTheDocumentWrittenWhole)
{
    const cli::Json image = {
        {"image", "a\tb\xFF.mgt"},
        {"files", cli::Json::array({{{"slot", 0}, {"name_bytes", {65, 32}}, {"list", cli::Json::array()}}})},
        {"messages", {"x"}}};
    for (const int images : {0, 1, 3}) {
        for (const int refused : {0, 2}) {
            cli::Json whole = {{"images", cli::Json::array()}, {"unreadable", cli::Json::array()}};
            std::ostringstream streamed;
            cli::StreamedDocument document(streamed, "images", "unreadable");
            for (int n = 0; n < std::max(images, refused); ++n) {
                const cli::Json reason = {{"image", "x"}, {"reason", std::to_string(n)}};
                if (n < images) {
                    whole["images"].push_back(image);
                    document.add_first(cli::element_text(image));
                }
                if (n < refused) {
                    whole["unreadable"].push_back(reason);
                    document.add_second(cli::element_text(reason));
                }
            }
            document.finish();
            std::ostringstream written;
            cli::write_json(written, whole);
            EXPECT_EQ(streamed.str(), written.str()) << images << ' ' << refused;
        }
    }
}

// The direct writer of files and hits against nlohmann's dump of the same objects, over every row of the real
// images and rows built with the bytes that need escaping, in names and in image paths that are not UTF-8.
TEST(CliJson, WrittenFilesAndHitsHaveTheBytesOfTheDumpedObjects)
{
    std::vector<image::CatalogueRow> rows;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(testing_support::real_images_dir())) {
        auto opened = image::open_one_image(entry.path().string());
        if (auto* disc = std::get_if<image::OpenImage>(&opened))
            for (const image::CatalogueRow& row : image::read_directory(*disc->source))
                rows.push_back(row);
    }
    EXPECT_GT(rows.size(), 200u);
    image::CatalogueRow built;
    built.name = std::string("\0\x01\x1F\"\\/\x7F\x80\xFF\t", 10);
    built.hidden = true;
    built.protected_file = true;
    for (const int code : {0, image::TYPE_ZX_CODE, 19, 40}) {
        built.type_code = code;
        rows.push_back(built);
    }
    built.name = "\b\f\n\r\xE9\xC3\xA9 \xFF\x1B";
    built.sam = {-1, 65535, std::string("a\x01\xE9", 3), 4, true, 3, image::Timestamp{1993, 12, 5, 23, 48, 7}};
    rows.push_back(built);
    const std::vector<std::string> images = {
        "disc.mgt", "a\x01\t\"\\b\xFF\x80\xC3\xA9\xE0\x80\xED\xA0\x80\xF4\x90\x80\x80\xF0\x9F\x98\x80.mgt", "x\xE2\x82",
        "x\xF0\x9F\x98", "\xC0\xAF\xF5\xF8\xC3"};

    const auto dumped = [](const cli::Json& value) {
        return value.dump(2, ' ', false, cli::Json::error_handler_t::replace);
    };
    std::size_t at = 0;
    for (const image::CatalogueRow& row : rows) {
        std::string file;
        cli::JsonWriter writer(file, 0);
        cli::write_file(writer, row);
        ASSERT_EQ(file, dumped(cli::file_json(row))) << at;
        std::string element;
        cli::JsonWriter element_writer = cli::element_writer(element);
        cli::write_file(element_writer, row);
        ASSERT_EQ(element, cli::element_text(cli::file_json(row))) << at;

        const std::string& image = images[at++ % images.size()];
        cli::Json hit = {{"image", image}, {"slot", row.slot}};
        cli::put_name(hit, row.name);
        hit["type"] = cli::type_json(row.type_code);
        hit["length"] = row.length;
        std::string written;
        cli::JsonWriter hit_writer(written, 0);
        cli::write_hit(hit_writer, image, row);
        ASSERT_EQ(written, dumped(hit)) << at;
    }
}

TEST(CliCollection, WhatAWalkCannotReadIsReportedNeverDropped)
{
    TempDir dir;
    const fs::path root = dir / "discs";
    fs::create_directories(root);
    ImageBuilder disc;
    disc.add_zx_file(0, 4, "code", std::vector<std::uint8_t>(10), 32768);
    // Folders deeper than a path can name, with an image at the bottom.
    const std::string long_name(250, 'd');
    int folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    int cut = -1; // a folder half way down, moved up at the end so that the tree can be removed
    for (int depth = 0; depth < 18; ++depth) {
        ASSERT_EQ(::mkdirat(folder, long_name.c_str(), 0700), 0);
        const int inner = ::openat(folder, long_name.c_str(), O_RDONLY | O_DIRECTORY);
        if (depth == 8)
            cut = ::dup(folder);
        ::close(folder);
        folder = inner;
    }
    const int file = ::openat(folder, "deep.mgt", O_WRONLY | O_CREAT, 0600);
    ASSERT_EQ(::write(file, disc.bytes().data(), disc.bytes().size()), static_cast<ssize_t>(disc.bytes().size()));
    ::close(file);
    ::close(folder);
    // Raw images of another size than a disc's; a socket; a name of control bytes.
    ImageBuilder(disc).resize(1474560).write(root / "pc.img");
    ImageBuilder(disc).resize(819200 + 1000).write(root / "appended.mgt");
    const std::string odd = (root / "a\tb\n\x1B[7m.mgt").string();
    disc.write(odd);
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socket_path = (root / "socket.mgt").string();
    ASSERT_LT(socket_path.size(), sizeof address.sun_path);
    std::copy(socket_path.begin(), socket_path.end(), address.sun_path);
    ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const std::string top = root.string();
    const auto listed = run_cli({"list", "-r", top});
    EXPECT_EQ(listed.code, 2);
    // In text a path's control bytes are escaped; in JSON it is exact.
    EXPECT_EQ(listed.out, top + "/a\\tb\\n\\x1B[7m.mgt\tcode      \t32768\t10\t\tZX Code (4)\t1\t4\t1\t0\n");
    for (const std::string& line :
         {top + "/appended.mgt: size is 820200 bytes, not 819200", top + "/pc.img: size is 1474560 bytes, not 819200",
          top + "/socket.mgt: not a regular file", std::string("File name too long; its images are not read")})
        EXPECT_NE(listed.err.find(line + "\n"), std::string::npos) << line << '\n' << listed.err;
    EXPECT_EQ(lines_of(listed.err).size(), 4u) << listed.err;
    const Json document = json_of({"list", "-r", "--json", top}, 2);
    EXPECT_EQ(document["images"][0]["image"], odd);
    EXPECT_EQ(document["unreadable"].size(), 4u);
    // Named, an image of another size is listed with a warning, as a short one is.
    const auto pc = run_cli({"list", top + "/pc.img"});
    EXPECT_EQ(pc.code, 1);
    EXPECT_EQ(pc.err, "kestrel-cli: " + top + "/pc.img: 1,474,560 bytes, 655,360 more than 819,200; only the first " +
                          "819,200 are read\n");
    EXPECT_EQ(run_cli({"list", socket_path}).err, "kestrel-cli: " + socket_path + ": not a regular file\n");
    ::close(listening);
    ASSERT_EQ(::renameat(cut, long_name.c_str(), AT_FDCWD, (dir / "cut").c_str()), 0);
    ::close(cut);
}

TEST(CliCollection, ZippedImagesListAsThePlainImagesDoUnpackedOnlyToTheirDirectory)
{
    if (!testing_support::has_tool("zip"))
        GTEST_SKIP() << "zip is not installed";
    TempDir dir;
    // Real discs of both layouts, and MasterDOS discs of 39 directory tracks with a file in their last slot.
    std::vector<fs::path> images = testing_support::real_images();
    for (const image::Layout layout : {image::Layout::Interleaved, image::Layout::Sequential}) {
        ImageBuilder b(layout);
        b.directory_tracks(39);
        b.add_sam_file(0, 19, "first", std::vector<std::uint8_t>(700));
        b.add_sam_file(image::MAX_DIRECTORY_SLOTS - 1, 19, "last", std::vector<std::uint8_t>(700));
        images.push_back(b.write(dir / (layout == image::Layout::Sequential ? "master.img" : "master.mgt")));
    }
    std::string plain_text;
    std::string zipped_names;
    for (const fs::path& image : images) {
        const std::string name = "in/" + image.filename().string();
        fs::create_directories(dir / "in");
        fs::copy_file(image, dir / name, fs::copy_options::overwrite_existing);
        zipped_names += " " + name;
        for (const std::string& line : lines_of(run_cli({"list", image.string()}).out))
            plain_text += (dir / "all.zip").string() + "/" + name + "\t" + line + "\n";
    }
    ASSERT_EQ(testing_support::run_shell("cd " + testing_support::shell_quoted(dir.path().string()) +
                                         " && zip -q all.zip" + zipped_names)
                  .status,
              0);
    const auto listed = run_cli({"list", "-r", (dir / "all.zip").string()});
    EXPECT_EQ(listed.out, plain_text);
    EXPECT_NE(plain_text.find("last"), std::string::npos);

    // Damage after the directory: list and find do not unpack that far; check reads it all and refuses it.
    ImageBuilder random_disc;
    std::vector<std::uint8_t> noise(200000);
    for (std::size_t n = 0; n < noise.size(); ++n)
        noise[n] = static_cast<std::uint8_t>(n * 7919 % 251);
    random_disc.add_zx_file(0, 4, "noise", noise, 32768);
    random_disc.write(dir / "noise.mgt");
    ASSERT_EQ(testing_support::run_shell("cd " + testing_support::shell_quoted(dir.path().string()) +
                                         " && zip -q -0 one.zip noise.mgt")
                  .status,
              0);
    std::vector<std::uint8_t> one = testing_support::read_file(dir / "one.zip");
    one[30 + 9 + 400000] ^= 0xFF; // in the stored data, far beyond the directory tracks
    testing_support::write_file(dir / "one.zip", one);
    const auto found = run_cli({"find", "-r", "noise", (dir / "one.zip").string()});
    EXPECT_EQ(found.code, 0) << found.err;
    const auto checked = run_cli({"check", "-r", (dir / "one.zip").string()});
    EXPECT_EQ(checked.code, 2);
    EXPECT_NE(checked.err.find("CRC error"), std::string::npos) << checked.err;
}

TEST(CliCollection, OptionsAndPatternsThatCannotBeTakenAreUsageErrors)
{
    TempDir dir;
    const std::string image = ImageBuilder().write(dir / "a.mgt").string();
    struct Case
    {
        std::vector<std::string> args;
        std::string first_line;
    };
    const std::vector<Case> cases = {
        {{"list", "--bogus", image}, "unknown option '--bogus'"},
        {{"check", image, "-x"}, "unknown option '-x'"},
        {{"list", "--json", "--bogus", image}, "unknown option '--bogus'"},
        {{"find", "--json", "[", image}, "invalid PATTERN '[': a '[' without its ']' (\\[ is the character)"},
        {{"find", "[!", image}, "invalid PATTERN '[!': a '[' without its ']' (\\[ is the character)"},
        {{"find", "[[:bogus:]]*", image}, "invalid PATTERN '[[:bogus:]]*': no character class [:bogus:]"},
        {{"find", "ab\\", image}, "invalid PATTERN 'ab\\': it ends in a lone \\ (\\\\ is the character)"},
        {{"find", "[[.ab.]]", image}, "invalid PATTERN '[[.ab.]]': a collating element [.c.] holds one character"},
    };
    for (const Case& c : cases) {
        const auto r = run_cli(c.args);
        EXPECT_EQ(r.code, 2) << c.first_line;
        EXPECT_EQ(r.out, "") << c.first_line; // no document either
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "kestrel-cli: " + c.first_line);
    }
    // Patterns fnmatch takes as they are: nothing found is no usage error.
    for (const std::string pattern : {"[]]", "[!]]x", "[[:alpha]", "[[:upper:][:digit:]]", "\\[", "[[=a=]]", "[a-]"})
        EXPECT_EQ(run_cli({"find", pattern, image}).code, 1) << pattern;
}
