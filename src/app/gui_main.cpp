// kestrel: the main window. Start-up prepares the pixel table, reads kestrel.ini from the working
// folder, and opens the window, on the image named on the command line if there is one; the window writes the
// settings back when it closes.
#include "common/settings.h"
#include "common/version.h"
#include "inspect/screen.h"
#include "platform/libdsk_drive_access.h"
#include "platform/qt_process_runner.h"
#include "platform/qt_requester.h"
#include "platform/qt_system_info.h"
#include "shell/main_window.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("kestrel");
    QApplication::setApplicationVersion(common::VERSION);
    QCommandLineParser parser;
    parser.setApplicationDescription("Lists, checks and converts ZX Spectrum and SAM Coupe floppy images.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("IMAGE", "The image to list: a file, or ARCHIVE.zip/NAME for one in an archive.",
                                 "[IMAGE]");
    parser.process(app);
    common::Settings settings = common::default_settings();
    const inspect::PixelTable pixels = inspect::build_pixel_table();
    common::load_settings(std::string(common::SETTINGS_FILE), settings);

    platform::QtRequester requester;
    platform::QtProcessRunner runner;
    platform::QtSystemInfo system;
    platform::LibdskDriveAccess drives;
    shell::MainWindow window(settings, std::string(common::SETTINGS_FILE), {requester, runner, system, drives}, pixels);
    requester.set_owner(&window);
    window.show();
    if (!parser.positionalArguments().isEmpty())
        window.open_path(parser.positionalArguments().constFirst());
    QApplication::exec();
    return 0;
}
