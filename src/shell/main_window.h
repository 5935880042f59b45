// The main window: the file browser and the catalogue list side by side in a splitter, eight command buttons,
// the message pane and a status bar, placed by hand at fixed positions that follow every resize. Each event
// runs one handler to its end; the handlers call the core and show its results. The status bar says in one
// line what a command did or why it did nothing, until the next browser event. A right click on a list row
// offers the row's commands; an image dropped on the window is selected and listed as a click would.
//
// The class is spread over files by what the handlers do:
//   main_window.cpp        the controls, their layout and the window's events (keys, close, drag and drop), the
//                          About box and the donation button
//   window_listing.cpp     a browser event: the image listed and checked, the list filled
//   row_commands.cpp       the row menu's table and its commands: convert, view screen, list BASIC, export, snapshot
//   drive_buttons.cpp      grab and write with SAMDisk or the built-in transfer (drive_transfer.cpp)
//   file_actions.cpp       the browser's file menu (rename, delete, new image from tapes) and dropped files
//   disc_edits.cpp         edits of the listed image: files added, deleted, renamed, flags set, and undone
#pragma once

#include "common/settings.h"
#include "files/disc_edit.h"
#include "files/disc_save.h"
#include "image/directory.h"
#include "image/image_kinds.h"
#include "session/edit_history.h"
#include "session/listed_disc.h"
#include "shell/file_browser.h"
#include "shell/interfaces.h"

#include <QUrl>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

class QAction;
class QDragEnterEvent;
class QDropEvent;
class QKeyEvent;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTreeWidget;

namespace inspect {
class PixelTable;
}

namespace shell {

inline constexpr int CLIENT_WIDTH = 796;
inline constexpr int CLIENT_HEIGHT = 405;
inline constexpr int MIN_CLIENT_WIDTH = 300;
inline constexpr int MIN_CLIENT_HEIGHT = 200;
inline const QString IMAGE_PATTERN = QString::fromStdString(image::name_pattern(image::KindSet::All));
// Whether the browser lists a file of this name (IMAGE_PATTERN): a disc image or an archive.
bool is_image_name(const std::string& path);
// The project's donation page, opened by the "Donate" button; empty while the project has none, and then the button
// only says so. Only an address the project owns goes here: whoever holds the address receives every gift.
inline constexpr const char* DONATE_ADDRESS = "";
// What the About box says: the version, the licence and where the manual (the README) is.
QString about_text();
// Where the README is: beside the installed program, else in the source tree it was built from; "" when neither is
// there.
QString readme_path();

class MainWindow : public QWidget
{
    Q_OBJECT
public:
    // The settings and pixel table live as long as the program; the window reads and changes the settings, and
    // writes them to `settings_path` when it closes.
    MainWindow(common::Settings& settings, std::string settings_path, Services services,
               const inspect::PixelTable& pixels, QWidget* parent = nullptr);

    // Places the controls for an inner area of width x height.
    void relayout(int width, int height);
    // Selects every row of the main list.
    void select_all_rows();
    void show_options();
    // The About box (F1, and the folder tree's menu).
    void show_about();
    // The "Donate" button.
    void donate();

    // The listing (window_listing.cpp): a click, a key or a right click in the browser.
    void on_browser_event(FileBrowser::Event kind);

    // Row commands (row_commands.cpp). The buttons act on the selected rows, the menu's commands on the row it was
    // opened on.
    void convert_to_tap();
    void view_selected_screen();
    void view_screen(const image::CatalogueRow& row);
    void list_basic(const image::CatalogueRow& row);
    // Return or a double click on a row: shows what the row holds (a screen, a BASIC listing), or says why nothing.
    void open_row(const image::CatalogueRow& row);
    void export_row(const image::CatalogueRow& row);
    void save_snapshot(const image::CatalogueRow& row);

    // Drive buttons (drive_buttons.cpp).
    void grab_disc(char drive);
    void write_to_drive(char drive);

    // The browser's file actions (file_actions.cpp).
    // Asks for tapes and a name, makes a new image of the tapes' files, then selects and lists it.
    void new_image_from_tapes();
    // Selects a dropped disc image in the browser and lists it; anything else only gets a status line saying why.
    void open_dropped(const QList<QUrl>& urls);
    // Opens the image a program argument names (a file, or ARCHIVE/NAME for an image in an archive) as a click on
    // it would: its folder opened in the browser, the image selected, listed and checked. Anything else is said in
    // the status bar.
    void open_path(const QString& path);
    void rename_image_file();
    void delete_image_file();
    void refresh_browser();

    // Edits of the listed image (disc_edits.cpp). A plain image is changed in place; the edit of a container (gz,
    // zip, EDSK, SAD) is saved as a new plain image, the container left as it is. Each edit done can be undone.
    // Asks for files and adds them.
    void add_files_to_image();
    // Adds host files: tapes and snapshots as they are (after "Add 3 files to GAME.mgt?" when `ask_first`), any
    // other file as ZX or SAM Code at the address the user gives.
    void add_host_files(const QStringList& paths, bool ask_first);
    // Deletes the selected rows when `row` is one of them, else `row` alone, after a question answered No by Return.
    void delete_from_image(const image::CatalogueRow& row);
    void rename_in_image(const image::CatalogueRow& row);
    // Sets the hidden or protected flag of the row when it is clear, clears it when set.
    void toggle_flag(const image::CatalogueRow& row, bool hidden);
    // Writes back the listed image as it was before its last edit of the session still undone.
    void undo_edit();
    // Writes again the last edit of the listed image undone, while nothing else has been done to it since.
    void redo_edit();

    const std::string& current_image_path() const { return m_current_image_path; }
    const image::Catalogue& catalogue() const { return m_listed.catalogue; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void create_controls();
    void show_status(const QString& text);
    void append_lines(const std::vector<session::Text>& lines);

    // The listing (window_listing.cpp).
    void create_list();
    // Lists an image (a file, or ARCHIVE/NAME); an archive of several images asks which one only when `may_ask`
    // (the user chose the archive rather than passing over it with the keys).
    void load_image(const std::string& path, bool may_ask = true);
    // Lists the listed image again, as it is now.
    void relist();
    // Empties the list: its image is gone or renamed to a name the window does not read.
    void forget_list();
    // The listed disc, as it was read: the row commands read it, never the file again.
    image::SectorSource& listed_source() { return *m_listed.image.source; }
    void fill_list();
    bool is_listed_image(const std::string& path) const;
    // Selects `path` in the browser, which lists it; listed again when it already was the selection.
    void select_and_list(const QString& path);
    // The folder of the listed image (of its archive, for an image inside one), ending in a separator: where new
    // files are proposed.
    QString listed_folder() const;

    // Row commands (row_commands.cpp).
    void show_row_menu(const QPoint& position);
    // The row menu of the row at `index` (-1: off the rows), shown at `position` in the list's viewport.
    void open_row_menu(int index, const QPoint& position);
    // The row the keys act on: the current row when it is selected, else the first selected one; -1 for none.
    int key_row() const;
    // The keys of the main list and the folder tree; true when the key was taken.
    bool list_key(const QKeyEvent& key);
    bool browser_key(const QKeyEvent& key);
    // Writes a new file whole; false, with the reason in the status bar, when it could not be written.
    bool write_new_file(const QString& path, std::span<const std::uint8_t> bytes);

    // The browser's file actions (file_actions.cpp).
    void create_browser_menu();
    // Shows the folder tree's menu at `position` (global), at the pointer when none is given.
    void show_browser_menu(std::optional<QPoint> position = std::nullopt);

    // Edits (disc_edits.cpp): the listed disc read whole for an edit, and the edit written and listed.
    struct EditBase
    {
        files::DiscValue disc;
        bool container = false; // saved as a new image, never written over
        QString shown;          // the image's file name, as the texts name it
    };
    // The listed disc, or nothing (with the reason in the status bar). An image file that no longer holds the disc
    // listed is listed again, and one that is gone leaves the list empty: the rows the user chose may be other
    // files now.
    std::optional<EditBase> editable_disc();
    // Writes an edit done (in place, or for a container as a new image the user names), lists the image again
    // with the changed rows selected and keeps the disc before it for undo. `what` says what was done to the image
    // it is given ("added 3 files to GAME.mgt"); `notes` follow the edit's lines in the message pane.
    void finish_edit(const EditBase& base, const files::EditOutcome& outcome,
                     const std::function<QString(const QString& image)>& what,
                     const std::vector<std::string>& notes = {});
    // Writes `after` over the listed image in place while it holds `before`; an image of several names is written
    // only when the user agrees. A refusal is said in the status bar (its reason names the image and says that
    // nothing was written), and the image listed again when it changed on disc.
    std::optional<files::SaveResult> save_in_place(const std::string& path, const files::DiscValue& before,
                                                   const files::DiscValue& after);
    // The rows whose slots are given, selected; when none of them is listed (their files were taken away), the row
    // that took the place of the first, so that the keys still have a current row.
    void select_slots(const std::vector<int>& chosen);
    // The names of the listed files among the slots chosen that are protected.
    QStringList protected_names(const std::vector<int>& chosen) const;

    // Drive buttons (drive_buttons.cpp).
    void check_drive_buttons();
    void show_samdisk_hint();
    void run_samdisk(const QString& arguments);
    // Lines of the built-in transfer: all in the message pane, the last one in the status bar as well.
    void show_transfer_lines(const QStringList& lines);

    common::Settings& m_settings;
    std::string m_settings_path;
    Services m_services;
    const inspect::PixelTable& m_pixels;

    std::string m_current_image_path;
    // The disc the list shows, as it was read: the list's commands act on it, whatever the browser shows since.
    session::ListedDisc m_listed;
    QString m_samdisk_command;
    QString m_grab_target;
    // The drive buttons use the built-in transfer, not SAMDisk (decided at start, as their enabled state).
    bool m_builtin_transfer = false;

    FileBrowser* m_browser = nullptr;
    QTreeWidget* m_list = nullptr;
    QSplitter* m_splitter = nullptr;
    QPushButton* m_convert = nullptr;
    QPushButton* m_options = nullptr;
    QPushButton* m_grab_a = nullptr;
    QPushButton* m_grab_b = nullptr;
    QPushButton* m_donate = nullptr;
    QPushButton* m_view = nullptr;
    QPushButton* m_write_a = nullptr;
    QPushButton* m_write_b = nullptr;
    QPlainTextEdit* m_pane = nullptr;
    QStatusBar* m_status = nullptr;
    QMenu* m_browser_menu = nullptr;
    QAction* m_rename_action = nullptr;
    QAction* m_delete_action = nullptr;

    // The edits of the session, each kept with the disc before and after it, and what it did in the status
    // line's words (UTF-8).
    session::EditHistory m_edits;
    // Whether an edit's image is the listed one: undo is never offered for another image.
    session::EditHistory::OfImage listed_image_test() const;
    // Shows how an undo or redo went: `written` (its status) after listing the image again with the step's files
    // selected, or `not_done` and why nothing was written.
    void show_history_step(const session::EditHistory::Outcome& outcome, const QString& not_done, QString written);
};

} // namespace shell
