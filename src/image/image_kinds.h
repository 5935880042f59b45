// The kinds of image file the program reads, in one table: per kind its extensions, its signature, how its bytes
// become a disc (the layout of a raw image, the decoder of a container, the unpacker of a packed image) and the
// label messages and filters name it by. Opening an image, the zip reader's choice of entries, the window's folder
// filter, its drop check and save guard, and the texts that list the extensions all ask this table, so that a new
// kind is one row here plus its decoder.
#pragma once

#include "image/container.h"
#include "image/geometry.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace image {

// How a kind's bytes hold a disc.
enum class ImageForm
{
    Raw,       // the 1,600 sectors one after another, in the row's layout; read from the file as needed
    Container, // a format read whole and decoded into a MemoryDisc
    Packed,    // one image packed: unpacked whole, then the name inside decides what it is
    Archive,   // several files, the images among them named by their extensions; one is chosen
};

using Decoded = std::variant<std::unique_ptr<MemoryDisc>, common::Error>;
using Unpacked = std::variant<std::vector<std::uint8_t>, common::Error>;

struct ImageKind
{
    std::string_view label;                       // "MGT", as messages and filters name the kind
    std::span<const std::string_view> extensions; // lower case, without the point; none: known by signature only
    ImageForm form = ImageForm::Raw;
    Layout layout = Layout::None;                                    // Raw: where each sector lies in the file
    bool (*signature)(std::span<const std::uint8_t> head) = nullptr; // whether bytes start as this kind's do
    std::string_view signed_as = {};                                 // what bytes of that signature are: "a SAD image"
    bool whatever_name = false; // the signature alone says the kind, under any name (a DSK named .mgt)
    Decoded (*decode)(std::span<const std::uint8_t> bytes) = nullptr; // Container: the decoder
    // Packed: the unpacked bytes under the cap, and the name stored with them where the packing keeps one.
    Unpacked (*unpack)(std::span<const std::uint8_t> packed, std::size_t cap, std::string* stored_name) = nullptr;

    // Whether the kind is a disc by itself (raw or container), as opposed to a packing or an archive of discs.
    bool is_disc() const { return form == ImageForm::Raw || form == ImageForm::Container; }
};

// Every kind, in the order the texts list them: the raw images, the containers, the packings, the archives.
std::span<const ImageKind> image_kinds();

// The kind a file name (any case) names by its extension; nullptr for none. "GAME.MGT.gz" names the gzip kind.
const ImageKind* kind_of_name(std::string_view path);

// The kind recognised by its signature whatever its name (an Extended DSK), nullptr for none.
const ImageKind* kind_by_signature(std::span<const std::uint8_t> head);

// The disc kind (raw or container) a name stands for, looking through any packing: "GAME.MGT.gz" gives MGT.
const ImageKind* disc_kind_of_name(std::string_view name);

// A packed kind's name without its extension: "GAME.MGT" for "GAME.MGT.gz" (the name unchanged for other kinds).
std::string name_inside(const ImageKind& packed, std::string_view name);

// Which kinds a list takes.
enum class KindSet
{
    All,   // every kind with an extension: what the folder tree lists and a drop takes
    Discs, // raw and container kinds: what a packed image or an archive entry may be
    Raw,   // raw kinds: what the program writes
};

// The extensions of a set as messages list them: ".mgt, .dsk, .img, .sad, .gz or .zip" (`last` joins the last
// two; ", " the others).
std::string extensions_text(KindSet set, std::string_view last = " or ");

// The raw extensions grouped by layout, as the text on writing an image names them: ".mgt/.dsk or .img".
std::string layouts_text();

// The folder tree's name filter for a set: "*.mgt;*.dsk;*.img;*.sad;*.gz;*.zip".
std::string name_pattern(KindSet set);

// The labels of the packings, as "gzipped": how "one of these gzipped" names them.
std::string packed_text();

// The kind whose signature the bytes start with, whatever their name: what a file that should be something else
// (a tape) holds instead. nullptr for none.
const ImageKind* kind_signed_by(std::span<const std::uint8_t> head);

// Whether a file of this name is an image in any form (the name alone decides): never replaced by a new file.
bool is_any_image_name(std::string_view path);

} // namespace image
