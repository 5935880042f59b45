// Whether a catalogue looks like a +D/SAM directory at all. A disc of another system (raw Forth blocks, CP/M)
// lists 80 rows of whatever its first four tracks hold; the list stays, and this judgement says so.
#pragma once

#include "image/directory.h"

#include <optional>
#include <string>

namespace inspect {

// The reason a catalogue does not look like a +D/SAM directory ("most used entries fail basic checks: type,
// sector count, track range"), or nothing when it may be one. An entry fails a check for a type code without a
// name, a sector count of 0 or more than the disc's data sectors, a first track inside the directory or past
// track 79, a first sector outside 1-10; subdirectory entries are judged by their type alone. More than half the
// used entries, and at least three, must fail for the verdict.
std::optional<std::string> foreign_directory_reason(const image::Catalogue& rows);

} // namespace inspect
