// The declarations of kestrel-cli's commands drive their parsing and their help: every declared option is taken,
// and refused, alike in every command, and each command's forms name exactly the options it declares.
#include "cli/command.h"
#include "cli_test_util.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace {

std::string first_line(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}

// A value that the option's check takes.
std::string good_value(const cli::Option& option)
{
    for (const char* candidate : {"1", "zx"}) {
        if (!option.check || option.check(candidate).empty())
            return candidate;
    }
    ADD_FAILURE() << option.name << " takes neither 1 nor zx";
    return "";
}

// The option names a command's forms use: the words that start with - or + ("[--slot N]..." gives --slot).
std::set<std::string> options_in_forms(std::string_view synopsis)
{
    std::set<std::string> names;
    std::istringstream words{std::string(synopsis)};
    for (std::string word; words >> word;) {
        for (std::size_t at = 0; at < word.size();) {
            const std::size_t end = std::min(word.find_first_of("[]|.", at), word.size());
            if (end > at + 1 && (word[at] == '-' || word[at] == '+'))
                names.insert(word.substr(at, end - at));
            at = end + 1;
        }
    }
    return names;
}

TEST(Commands, EveryDeclaredOptionIsParsedHelpedAndRefusedAlike)
{
    std::size_t value_options = 0;
    for (const cli::Command* command : cli::commands()) {
        const std::string name = command->name;
        SCOPED_TRACE(name);
        const auto run = [&](const std::vector<std::string>& rest) {
            std::vector<std::string> args = {name.substr(0, name.find(' '))};
            if (name.find(' ') != std::string::npos)
                args.push_back(name.substr(name.find(' ') + 1));
            args.insert(args.end(), rest.begin(), rest.end());
            return testing_support::run_cli(args);
        };
        const auto help = run({"x.mgt", "--help"});
        EXPECT_EQ(help.code, 0);
        EXPECT_EQ(help.err, "");
        EXPECT_EQ(help.out.rfind("Usage: kestrel-cli " + name + " ", 0), 0u) << help.out;

        const auto unknown = run({"--bogus", "x.mgt"});
        EXPECT_EQ(unknown.code, 2);
        EXPECT_EQ(first_line(unknown.err), "kestrel-cli: unknown option '--bogus'");

        for (const cli::Option& option : command->options) {
            SCOPED_TRACE(option.name);
            EXPECT_NE(help.out.find(std::string("\n  ") + option.name), std::string::npos);
            if (!option.value)
                continue;
            ++value_options;
            const auto bare = run({"x.mgt", option.name});
            EXPECT_EQ(bare.code, 2);
            EXPECT_EQ(first_line(bare.err), std::string("kestrel-cli: option '") + option.name + "' needs a value");

            const std::string value = good_value(option);
            const std::string other = option.alias ? option.alias : option.name;
            std::ostringstream err;
            const auto twice = cli::parse_args(*command, {option.name, value, other, value}, err);
            if (option.repeatable) {
                ASSERT_TRUE(twice) << err.str();
                EXPECT_EQ(twice->values(option.name), (std::vector<std::string>{value, value}));
            } else {
                EXPECT_FALSE(twice);
                EXPECT_EQ(first_line(err.str()),
                          "kestrel-cli: " + name + " takes one " + option.name + " " + option.value);
            }
        }
    }
    EXPECT_GE(value_options, 25u);
}

// The program's help, made from the declarations, is the text users and scripts know: a change to it is meant.
TEST(Commands, TheProgramsHelpIsTheKeptText)
{
    const auto help = testing_support::run_cli({"--help"});
    EXPECT_EQ(help.out, testing_support::read_text(KESTREL_TEST_DATA_DIR "/expected/kestrel-cli.help"));
}

TEST(Commands, EachCommandsFormsNameExactlyTheOptionsItDeclares)
{
    for (const cli::Command* command : cli::commands()) {
        SCOPED_TRACE(command->name);
        std::set<std::string> declared;
        for (const cli::Option& option : command->options)
            declared.insert(option.name);
        EXPECT_EQ(options_in_forms(command->synopsis), declared);
    }
}

TEST(Commands, BadValuesAndOperandsAreRefusedInTheirOwnWordsBeforeAnyFileIsRead)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"thumbnail", "a.mgt", "b.png", "--size", "0"}, "invalid size '0' (1-1024)"},
        {{"add", "a.mgt", "f.bin", "--start", "0x"}, "invalid address '0x' (decimal, or hexadecimal after 0x)"},
        {{"add", "a.mgt", "f.bas", "--line", "65280"}, "invalid line number '65280' (0-65279)"},
        {{"tap", "p.bas", "-o", "p.tap", "--line", "-1"}, "invalid line number '-1' (0-65279)"},
        {{"find", "*", "a.mgt", "--type", "zx-bogus"}, "unknown type 'zx-bogus' (zx-basic, "},
        {{"rename", "a.mgt", "--slot", "0", "new", "more"}, "rename takes one NEWNAME"},
        {{"thumbnail", "a.mgt", "b.png", "c.png"}, "thumbnail takes one IMAGE and one OUT.png"},
        {{"attr", "a.mgt", "--slot", "0", "+h", "-h"}, "attr takes one of +h and -h"},
        {{"attr", "a.mgt", "--slot", "0", "-p", "+x"}, "unknown flag '+x' (attr takes +h, -h, +p and -p)"},
        {{"attr", "a.mgt", "--slot", "0"}, "attr needs +h, -h, +p or -p"},
        {{"attr", "a.mgt", "-h"}, "attr needs IMAGE and --slot N"}, // -h is a flag there, not the help
        {{"make", "o.mgt", "t.tap", "--system-slot", "1"}, "--system-slot needs --system IMAGE"},
        {{"snap", "a.mgt", "--slot", "0", "-o", "x.bin"}, "snap writes .z80 or .sna files, not 'x.bin'"},
        {{"image", "a.mgt"}, "image needs -o OUT.mgt or -o OUT.img"},
    };
    for (const auto& [args, reason] : cases) {
        const auto r = testing_support::run_cli(args);
        EXPECT_EQ(r.code, 2) << args.front();
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("kestrel-cli: " + reason, 0), 0u) << r.err;
    }
}

} // namespace
