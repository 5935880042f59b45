// kestrel-cli's manual page, made from the declarations of its commands, so that it says what the help says.
#pragma once

#include <string>

namespace cli {

// The page of roff text `page` (the parts written by hand: name, description, exit status, examples...) with its
// marks replaced: a line @COMMANDS@ by the section of the commands, their forms, options and an example each, a
// line @OPTIONS@ by the section of the program's options, @VERSION@ by the version.
std::string manual_page(std::string page);

} // namespace cli
