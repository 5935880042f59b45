// kestrel-cli over collections: the --json documents against the text outputs, and walks of folder trees.
#include "../tape/tool_run.h"
#include "cli_test_util.h"
#include "support/image_builder.h"
#include "support/packing.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/stat.h>

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
    EXPECT_EQ(lines_of(found.err).size(), 3u) << found.err;

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
