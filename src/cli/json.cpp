#include "cli/json.h"

#include "image/file_types.h"

#include <algorithm>

namespace cli {

bool take_option(std::vector<std::string>& args, std::initializer_list<std::string_view> names)
{
    const auto end_of_options = std::find(args.begin(), args.end(), "--");
    const auto kept = std::remove_if(args.begin(), end_of_options, [&](const std::string& arg) {
        return std::find(names.begin(), names.end(), arg) != names.end();
    });
    const bool found = kept != end_of_options;
    args.erase(kept, end_of_options);
    return found;
}

std::string latin1_text(std::string_view raw)
{
    std::string text;
    text.reserve(raw.size());
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

void put_name(Json& object, std::string_view raw)
{
    object["name"] = latin1_text(raw);
    Json bytes = Json::array();
    for (const char c : raw)
        bytes.push_back(static_cast<unsigned char>(c));
    object["name_bytes"] = std::move(bytes);
}

Json type_json(int code)
{
    const image::FileType& type = image::file_type(code);
    return {{"code", code}, {"name", std::string(type.name)}, {"key", std::string(type.key)}};
}

Json file_json(const image::CatalogueRow& row)
{
    Json file = {{"slot", row.slot}};
    put_name(file, row.name);
    file["type"] = type_json(row.type_code);
    file["start"] = row.start;
    file["length"] = row.length;
    file["attributes"] = {{"hidden", row.attributes.find('H') != std::string::npos},
                          {"protected", row.attributes.find('P') != std::string::npos}};
    file["sectors"] = row.sectors;
    file["first_track"] = row.start_track;
    file["first_sector"] = row.start_sector;
    if (image::file_type(row.type_code).sam_system) {
        const image::SamFacts& sam = row.sam;
        const auto or_null = [](const auto& value) {
            return value ? Json(*value) : Json(nullptr);
        };
        file["execute"] = or_null(sam.execute);
        file["autorun_line"] = or_null(sam.autorun_line);
        file["array_name"] = sam.array_name.empty() ? Json(nullptr) : Json(latin1_text(sam.array_name));
        file["screen_mode"] = or_null(sam.screen_mode);
        file["packed"] = sam.packed;
        file["time"] = sam.time ? Json(image::timestamp_text(*sam.time)) : Json(nullptr);
    }
    return file;
}

void write_json(std::ostream& out, const Json& document)
{
    out << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

} // namespace cli
