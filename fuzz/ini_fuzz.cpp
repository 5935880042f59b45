// Fuzz target: the ini reader on arbitrary bytes, and round trips through the writer where the format can carry
// them. Reading never changes the file; settings read from any file survive a save and a load; and key/value pairs
// taken from the input come back from a written file whenever the key could be written as a key (not empty, no
// line break, no "=", not starting like a comment or a group) and the values have no line breaks or outer blanks.
#include "fuzz_support.h"
#include "support/image_builder.h"

#include "common/ini.h"
#include "common/settings.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view BLANKS = " \t";
constexpr std::string_view GROUP = "Fuzz";
constexpr std::size_t MAX_PAIRS = 64;

// Every field differs between the two, so a value that is not read shows.
const common::Settings START{"/home/fuzz/", "/home/fuzz/disc.tap", 1, ""};
const common::Settings OTHER{"/elsewhere/", "/elsewhere/x.tap", 0, "/usr/bin/samdisk"};

struct Pair
{
    std::string key;
    std::string value;
};

std::string trimmed(std::string_view text)
{
    const std::size_t start = text.find_first_not_of(BLANKS);
    if (start == std::string_view::npos)
        return {};
    return std::string(text.substr(start, text.find_last_not_of(BLANKS) - start + 1));
}

bool same_key(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// The input's lines as key=value pairs that an ini file can hold.
std::vector<Pair> writable_pairs(std::string_view text)
{
    std::vector<Pair> pairs;
    while (!text.empty() && pairs.size() < MAX_PAIRS) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string line(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        std::erase(line, '\r');
        const std::size_t equals = line.find('=');
        Pair pair{trimmed(std::string_view(line).substr(0, equals)),
                  equals == std::string::npos ? std::string() : trimmed(std::string_view(line).substr(equals + 1))};
        if (!pair.key.empty() && pair.key.front() != ';' && pair.key.front() != '[')
            pairs.push_back(std::move(pair));
    }
    return pairs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& path = fuzz::temp_path("ini", ".ini");
    const std::string& saved = fuzz::temp_path("ini", "-saved.ini");
    const std::string& written = fuzz::temp_path("ini", "-pairs.ini");
    const std::vector<std::uint8_t> input(data, data + size);
    testing_support::write_file(path, input);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<Pair> pairs = writable_pairs(text);

    common::IniDocument ini = common::ini_open(path);
    for (const std::string_view group : {std::string_view("Main"), GROUP}) {
        common::ini_select_group(ini, group);
        for (const Pair& pair : pairs) {
            static_cast<void>(common::ini_read_text(ini, pair.key, ""));
            static_cast<void>(common::ini_read_number(ini, pair.key, 0));
        }
    }
    fuzz::require(!common::ini_close(ini), "a document only read is not written");

    common::Settings loaded = START;
    common::load_settings(path, loaded);
    fuzz::require(testing_support::read_file(path) == input, "reading leaves the file as it was");
    fuzz::require(common::save_settings(saved, loaded), "settings can be saved to a temporary file");
    common::Settings again = OTHER;
    common::load_settings(saved, again);
    fuzz::require(again == loaded, "settings read from any file survive a save and a load");

    common::IniDocument out = common::ini_create(written);
    common::ini_select_group(out, GROUP);
    for (const Pair& pair : pairs)
        common::ini_write_text(out, pair.key, pair.value);
    if (pairs.empty())
        return 0;
    fuzz::require(common::ini_close(out), "written pairs can be saved to a temporary file");
    common::IniDocument in = common::ini_open(written);
    common::ini_select_group(in, GROUP);
    // The default is a text no value can be, so a key that went missing shows.
    for (const Pair& pair : pairs) {
        const auto first =
            std::find_if(pairs.begin(), pairs.end(), [&](const Pair& p) { return same_key(p.key, pair.key); });
        fuzz::require(common::ini_read_text(in, pair.key, "\n") == first->value,
                      "the first of equal keys comes back with its value");
    }
    return 0;
}
