#include "../tape/basic_program.h"
#include "cli_test_util.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

using namespace testing_support;

TEST(CliBasic, ListsTheProgramAsStoredOrAsTheTapeWillHoldIt)
{
    // 10 LOAD d1"scr"SCREEN$   then the variable a = 1, which is not listed.
    const Bytes program = basic_line(10, Bytes{TOKEN_LOAD, 'd'} + small_number(1) + ascii("\"scr\"") + Bytes{0xAA});
    const Bytes damaged = basic_line(10, Bytes{0xFB}) + Bytes{0, 20, 50, 0, 0xE2};
    TempDir dir;
    ImageBuilder b;
    b.add_zx_file(0, 1, "loader", program + Bytes{0x61, 0, 0, 1, 0, 0}, 0, 10,
                  static_cast<std::uint16_t>(program.size()));
    b.add_zx_file(1, 1, "damaged", damaged, 0, 0, static_cast<std::uint16_t>(damaged.size()));
    b.add_zx_file(2, 4, "code", Bytes(10, 0xC9), 32768);
    const std::string image = b.write(dir / "basic.mgt").string();

    struct Case
    {
        std::vector<std::string> args;
        int code;
        std::string out;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"basic", image, "--slot", "0"}, 0, "   10 LOAD d1\"scr\"SCREEN$ \n", ""},
        // The rewrite blanks "d1" and the hidden number after it: eight bytes.
        {{"basic", "--rewrite", image, "--slot", "0"},
         0,
         "   10 LOAD " + std::string(8, ' ') + "\"scr\"SCREEN$ \n",
         ""},
        {{"basic", image, "--slot", "1"},
         1,
         "   10 CLS \n   20 STOP \n** damage at byte 8: line 20 claims 50 bytes, the program holds 1 more\n",
         "kestrel-cli: " + image + ": slot 1: damage at byte 8: line 20 claims 50 bytes, the program holds 1 more\n"},
        {{"basic", image, "--slot", "2"}, 1, "", "kestrel-cli: " + image + ": slot 2: not a ZX BASIC program\n"},
        {{"basic", image, "--slot", "3"}, 2, "", "kestrel-cli: " + image + ": no file in slot 3\n"},
    };
    for (const Case& c : cases) {
        const CliResult r = run_cli(c.args);
        EXPECT_EQ(r.code, c.code) << c.args[3];
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"basic", image}, {"basic", "--slot", "0"}, {"basic", image, "--slot", "0", "--slot", "0"}})
        EXPECT_EQ(run_cli(args).code, 2);
}
