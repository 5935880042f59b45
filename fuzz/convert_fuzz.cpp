// Fuzz target: conversion of every listed file of an arbitrary image into one tape, with or without the BASIC
// rewrite (the selector's option bit). Besides the sanitizers it checks that the image file is left exactly as it
// was, that every tape block pair is well formed (a 19-byte header block, a data block as long as the header says,
// both with a checksum that cancels out) and that a row gives at most one line and one failure.
#include "fuzz_support.h"
#include "support/image_builder.h"

#include "common/bytes.h"
#include "image/directory.h"
#include "tape/convert.h"
#include "tape/tap_writer.h"

#include <vector>

namespace {

constexpr std::size_t LENGTH_WORD = 2;
constexpr std::size_t HEADER_BLOCK = image::TAPE_HEADER_SIZE + 1;
constexpr std::size_t FLAG_AND_CHECKSUM = 2;

// Walks the tape's block pairs; returns how many there are.
std::size_t check_tape(std::span<const std::uint8_t> tap)
{
    std::size_t pairs = 0;
    while (!tap.empty()) {
        fuzz::require(tap.size() >= LENGTH_WORD + HEADER_BLOCK, "a header block is complete");
        fuzz::require(common::get_le16(tap, 0) == HEADER_BLOCK, "a header block is 19 bytes long");
        const auto header = tap.subspan(LENGTH_WORD, HEADER_BLOCK);
        fuzz::require(header[image::tape_header::FLAG] == 0x00, "a header block has flag 0");
        fuzz::require(header[image::tape_header::TYPE] <= image::TAPE_BYTES, "only types with a tape form are written");
        fuzz::require(tape::xor_checksum(header) == 0, "a header block's checksum cancels out");
        tap = tap.subspan(LENGTH_WORD + HEADER_BLOCK);

        const std::size_t data_length = common::get_le16(header, image::tape_header::LENGTH);
        fuzz::require(tap.size() >= LENGTH_WORD + data_length + FLAG_AND_CHECKSUM, "a data block is complete");
        // The word keeps the low 16 bits only: data of 65,534 and 65,535 bytes gets 0 and 1.
        fuzz::require(common::get_le16(tap, 0) == static_cast<std::uint16_t>(data_length + FLAG_AND_CHECKSUM),
                      "a data block is as long as its header says");
        const auto block = tap.subspan(LENGTH_WORD, data_length + FLAG_AND_CHECKSUM);
        fuzz::require(block[0] == tape::DATA_FLAG, "a data block has flag 255");
        fuzz::require(tape::xor_checksum(block) == 0, "a data block's checksum cancels out");
        tap = tap.subspan(LENGTH_WORD + block.size());
        ++pairs;
    }
    return pairs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::FuzzImage img = fuzz::make_image({data, size}, "convert");
    const std::vector<std::uint8_t> image_before(img.bytes.begin(), img.bytes.end());
    image::OpenImage opened = fuzz::open_image(img);
    const image::Catalogue catalogue = image::read_directory(*opened.source);
    std::vector<tape::SelectedRow> rows;
    for (const image::CatalogueRow& row : catalogue)
        rows.push_back({row.name, row.slot});

    const std::string& tape_path = fuzz::temp_path("convert", ".tap");
    const bool rewrite = img.selector & fuzz::selector::OPTION;
    const tape::ConversionResult result = tape::convert_files(*opened.source, img.path, rows, rewrite, tape_path);

    fuzz::require(testing_support::read_file(img.path) == image_before, "the image file is left unchanged");
    const std::size_t pairs = check_tape(testing_support::read_file(tape_path));
    fuzz::require(result.failures >= 0 && pairs + static_cast<std::size_t>(result.failures) <= rows.size(),
                  "a row gives a block pair, a failure or nothing");
    fuzz::require(result.lines.size() <= rows.size(), "a row gives at most one line");
    return 0;
}
