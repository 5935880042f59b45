#include "common/settings.h"

#include "common/ini.h"

#include <cstdlib>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace common {
namespace {

constexpr std::string_view GROUP = "Main";
constexpr std::string_view DEFAULT_TAPE_NAME = "disc.tap";

#ifndef _WIN32
std::string home_folder()
{
    const char* home = std::getenv("HOME");
    if (home && *home)
        return home;
    const passwd* user = ::getpwuid(::getuid());
    if (user && user->pw_dir && *user->pw_dir)
        return user->pw_dir;
    return "/";
}
#endif

} // namespace

Settings default_settings()
{
    Settings settings;
#ifdef _WIN32
    settings.Currentdir = "c:\\";
#else
    settings.Currentdir = home_folder();
    // The file browser appends its filter straight to this text, so it must end in a separator.
    if (!settings.Currentdir.ends_with('/'))
        settings.Currentdir += '/';
#endif
    settings.savefile = settings.Currentdir + std::string(DEFAULT_TAPE_NAME);
    return settings;
}

std::string samdisk_command(const Settings& settings)
{
    return "\"" + settings.SAMDisk + "\"";
}

void load_settings(const std::string& ini_path, Settings& settings)
{
    IniDocument ini = ini_open(ini_path);
    ini_select_group(ini, GROUP);
    settings.Currentdir = ini_read_text(ini, "Currentdir", settings.Currentdir);
    settings.savefile = ini_read_text(ini, "savefile", settings.savefile);
    settings.BasStrip = ini_read_number(ini, "BasStrip", settings.BasStrip);
    settings.SAMDisk = ini_read_text(ini, "SAMDisk", settings.SAMDisk);
    ini_close(ini);
}

bool save_settings(const std::string& ini_path, const Settings& settings)
{
    IniDocument ini = ini_create(ini_path);
    ini_select_group(ini, GROUP);
    ini_write_text(ini, "Currentdir", settings.Currentdir);
    ini_write_text(ini, "savefile", settings.savefile);
    ini_write_number(ini, "BasStrip", settings.BasStrip);
    ini_write_text(ini, "SAMDisk", settings.SAMDisk);
    return ini_close(ini);
}

} // namespace common
