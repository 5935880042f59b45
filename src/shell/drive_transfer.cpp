#include "shell/drive_transfer.h"

#include "common/atomic_file.h"
#include "shell/modal.h"
#include "shell/text.h"
#include "shell/transfer_window.h"
#include "transfer/disc_flow.h"

#include <QFileInfo>

#include <cstring>
#include <optional>
#include <utility>

namespace shell {
namespace {

QString from_core(const std::string& text)
{
    return QString::fromStdString(text);
}

QString drive_name(char drive)
{
    return QString("Drive %1:").arg(QChar(drive));
}

// Opens the drive and runs `work` on it behind the progress window `title`; why the drive cannot be opened, or
// nothing.
template <typename Work>
std::optional<QString> in_transfer_window(Services services, char drive, const QString& title, QWidget* owner,
                                          Work work)
{
    transfer::OpenedDrive opened = services.drives.open_drive(drive);
    if (!opened.drive)
        return drive_name(drive) + " cannot be opened: " + from_core(opened.error);
    TransferWindow window(
        title, [&](const transfer::Hooks& hooks) { work(*opened.drive, hooks); }, owner);
    run_modal(window);
    return std::nullopt;
}

} // namespace

QStringList read_drive_to_image(Services services, char drive, const QString& target, QWidget* owner)
{
    const std::string path = to_path(target);
    image::Layout layout = image::layout_from_path(path);
    // The requester offers .mgt first, and the drive buttons say "to MGT".
    if (layout == image::Layout::None)
        layout = image::Layout::Interleaved;
    if (QFileInfo::exists(target) &&
        !services.requester.ask_yes_no("File exists", "Do you want to overwrite " + target + " ?", Icon::Question))
        return {};
    // Made before the drive is read: a target that cannot be written is known before a minute of reading.
    common::AtomicFile file(path);
    if (!file.is_open())
        return {"Cannot write " + target + ": " + std::strerror(file.error())};
    transfer::ReadReport read;
    const auto not_opened = in_transfer_window(services, drive, QString("Reading drive %1:").arg(QChar(drive)), owner,
                                               [&](transfer::Drive& opened, const transfer::Hooks& hooks) {
                                                   read = transfer::read_disc(opened, layout, hooks);
                                               });
    if (not_opened)
        return {*not_opened};

    QStringList lines;
    for (const transfer::DriveSectorAddress& at : read.unreadable)
        lines << from_core(transfer::unreadable_text(at));
    const transfer::ImageRead result = transfer::conclude_read(std::move(read), [&](std::size_t unreadable) {
        return services.requester.ask_yes_no("Damaged disc",
                                             QString("Sectors that could not be read: %1. They are zeros in the "
                                                     "image.\nDo you want to keep the image?")
                                                 .arg(unreadable),
                                             Icon::Exclamation);
    });
    const QString subject = result.about_drive() ? drive_name(drive) : target + ":";
    if (!result.write())
        return lines << subject + " " + from_core(result.words());
    file.write(result.read.image);
    if (!file.commit())
        return lines << "Cannot write " + target + ": " + std::strerror(file.error());
    if (result.end == transfer::ReadEnd::KeptDamaged)
        return lines << subject + " " + from_core(result.words());
    return lines << drive_name(drive) + " read into " + target;
}

std::variant<transfer::DiscCopy, QString> load_image_for_drive(const QString& image_path)
{
    auto copied = transfer::copy_image_file(to_path(image_path));
    if (const auto* reason = std::get_if<std::string>(&copied))
        return image_path + ": " + from_core(*reason);
    auto& disc = std::get<transfer::DiscCopy>(copied);
    if (!disc.missing.empty())
        return image_path + ": " + from_core(transfer::lacking_words(disc));
    return std::move(disc);
}

QStringList write_image_to_drive(Services services, const transfer::DiscCopy& disc, char drive, QWidget* owner)
{
    transfer::WriteReport report;
    const auto not_opened = in_transfer_window(services, drive, QString("Writing drive %1:").arg(QChar(drive)), owner,
                                               [&](transfer::Drive& opened, const transfer::Hooks& hooks) {
                                                   report = transfer::write_disc(opened, disc.bytes, hooks);
                                               });
    if (not_opened)
        return {*not_opened};
    return {drive_name(drive) + " " + from_core(transfer::write_summary(report))};
}

} // namespace shell
