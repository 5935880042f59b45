// The commands of kestrel-cli and the helpers they share. Each takes the arguments after its own name.
#pragma once

#include "image/directory.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace cli {

int run_list(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_tap(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_check(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int run_screen(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Writes "kestrel-cli: " + subject + ": " + reason and a line end to err.
void report(std::ostream& err, const std::string& subject, const std::string& reason);

// Writes a usage error for the command and returns EXIT_USAGE.
int usage_error(std::ostream& err, const std::string& reason);

// An image path with its catalogue, or a message already written to err.
struct LoadedImage
{
    std::string path;
    image::Layout layout = image::Layout::None;
    image::Catalogue catalogue;
};

// Checks the extension and reads the catalogue; on failure reports on err and returns std::nullopt.
std::optional<LoadedImage> load_image(const std::string& path, std::ostream& err);

// Parses a decimal slot number 0-79; std::nullopt for anything else.
std::optional<int> parse_slot(const std::string& text);

} // namespace cli
