#include "transfer/disc_flow.h"

#include "image/sector_source.h"

#include <utility>

namespace transfer {
namespace {

std::string unreadable_count(std::size_t sectors)
{
    return std::to_string(sectors) + (sectors == 1 ? " unreadable sector" : " unreadable sectors");
}

} // namespace

std::string ImageRead::words() const
{
    switch (end) {
    case ReadEnd::Complete:
        return {};
    case ReadEnd::KeptDamaged:
        return "written with " + unreadable_count(read.unreadable.size()) + " as zeros";
    case ReadEnd::RefusedDamaged:
        return "not written: " + unreadable_count(read.unreadable.size());
    case ReadEnd::Cancelled:
        return "cancelled; no image written";
    case ReadEnd::Failed:
        return read.failure + "; no image written";
    }
    return {};
}

ImageRead conclude_read(ReadReport read, const std::function<bool(std::size_t unreadable)>& keep_damaged)
{
    ReadEnd end = ReadEnd::Complete;
    if (read.outcome == Outcome::Cancelled)
        end = ReadEnd::Cancelled;
    else if (read.outcome == Outcome::Failed)
        end = ReadEnd::Failed;
    else if (!read.unreadable.empty())
        end = keep_damaged(read.unreadable.size()) ? ReadEnd::KeptDamaged : ReadEnd::RefusedDamaged;
    return {std::move(read), end};
}

std::variant<DiscCopy, std::string> copy_image_file(const std::string& path)
{
    auto opened = image::open_one_image(path);
    if (const auto* failure = std::get_if<common::Error>(&opened))
        return failure->text;
    image::OpenImage& source = std::get<image::OpenImage>(opened);
    if (!source.scannable)
        return image::size_reason(source.raw_size);
    return copy_disc(*source.source);
}

std::string lacking_words(const DiscCopy& disc)
{
    return "not written to the disc: the image lacks " + sectors_text(disc.missing);
}

} // namespace transfer
