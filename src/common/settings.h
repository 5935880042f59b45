// The four values the program keeps from one run to the next, and the settings file that holds them: group
// "Main" of kestrel.ini in the working folder, read once at start-up and written anew at exit. Failures are never
// reported: an unreadable file leaves the values as they were, an unwritable one keeps its old contents.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace common {

// The settings file, relative to the folder the program was started in.
inline constexpr std::string_view SETTINGS_FILE = "kestrel.ini";

// Field names are the keys of the settings file.
struct Settings
{
    std::string Currentdir;    // folder shown by the file browser, ending in a separator
    std::string savefile;      // path proposed for the next tape file
    std::int32_t BasStrip = 1; // 0: BASIC loaders are copied unchanged; anything else: disc syntax is blanked
    std::string SAMDisk;       // path of the SAMDisk program; empty when not set

    friend bool operator==(const Settings&, const Settings&) = default;
};

// The values used when the file does not name them: the user's home folder and "disc.tap" in it.
Settings default_settings();

// The SAMDisk path in double quotes, as it is started.
std::string samdisk_command(const Settings& settings);

// Reads group "Main" of the file at ini_path into settings; fields the file does not name keep their values.
void load_settings(const std::string& ini_path, Settings& settings);

// Replaces the file at ini_path with the five lines of group "Main". False when the file could not be written.
bool save_settings(const std::string& ini_path, const Settings& settings);

} // namespace common
