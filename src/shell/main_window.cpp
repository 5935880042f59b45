#include "shell/main_window.h"

#include "basic/listing.h"
#include "common/atomic_file.h"
#include "common/bytes.h"
#include "common/path_text.h"
#include "common/version.h"
#include "files/file_export.h"
#include "files/make_disc.h"
#include "image/open_container.h"
#include "inspect/directory_check.h"
#include "inspect/scan.h"
#include "inspect/screen.h"
#include "shell/basic_window.h"
#include "shell/drive_transfer.h"
#include "shell/modal.h"
#include "shell/options_window.h"
#include "shell/save_target.h"
#include "shell/screen_viewer.h"
#include "shell/text.h"
#include "snapshot/plusd_snapshot.h"
#include "tape/basic_rewrite.h"
#include "tape/convert.h"
#include "tape/extract.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeWidget>

#include <algorithm>

namespace shell {
namespace {

// Layout of the controls: columns of buttons, and the strip below the splitter.
constexpr int BUTTON_WIDTH = 120;
constexpr int BUTTON_HEIGHT = 19;
constexpr int LEFT_BUTTONS_X = 5;
constexpr int RIGHT_BUTTONS_X = 130;
constexpr int FIRST_BUTTON_Y = 305;
constexpr int BUTTON_STEP = 20;
constexpr int PANE_X = 255;
constexpr int PANE_Y = 305;
constexpr int PANE_WIDTH = 540;
constexpr int PANE_HEIGHT = 85;
constexpr int SPLITTER_HEIGHT = 300;
constexpr int BELOW_SPLITTER = 105; // client height minus splitter height, kept by every resize
constexpr int FIRST_BUTTON_FROM_BOTTOM = 100;
constexpr int SEPARATOR_WIDTH = 7;
constexpr int UI_FONT_PIXELS = 11;

constexpr std::array<int, image::CATALOGUE_COLUMNS> COLUMN_WIDTHS = {100, 50, 50, 50, 80, 50, 50, 50};
constexpr std::array<const char*, image::CATALOGUE_COLUMNS> COLUMN_TITLES = {"Filename", "Start",  "Length", "Attr",
                                                                             "Type",     "StartS", "StartT", "Sect"};
constexpr int TYPE_COLUMN = 4;
const QColor EVEN_ROW(255, 255, 255);
const QColor ODD_ROW(223, 223, 223);

// SAMDisk and the drives.
constexpr qint64 SAMDISK_MIN_SIZE = 22000;
constexpr qint64 SAMDISK_MAX_SIZE = 25000;
constexpr qint64 HINT_THRESHOLD_MS = 3000;
constexpr const char* SAMDISK_HINT = "If SamDisc2 does not start, you shall\nstart cmd with administrator privilegues "
                                     "and\nuse samdisk2.exe /install to activate the system driver";

// The status line after a conversion: how many of the selected files reached which tape, and why the SAM files
// among them did not.
QString conversion_status(int written, int selected, int sam_files, const QString& tape)
{
    constexpr const char* NO_SAM_TAPE = "SAM files have no tape form";
    if (written == 0 && sam_files == selected)
        return QString("0 of %1 files: %2").arg(selected).arg(NO_SAM_TAPE);
    QString text = QString("%1 of %2 files written to %3").arg(written).arg(selected).arg(tape);
    if (sam_files > 0)
        text += QString("; %1").arg(NO_SAM_TAPE);
    return text;
}

// The part of a status line that names the rewritten loaders still holding +D syntax ("" for none).
QString disc_only_status(std::size_t loaders)
{
    if (loaders == 0)
        return {};
    return loaders == 1 ? QString("; 1 loader still uses +D-only syntax (see List BASIC)")
                        : QString("; %1 loaders still use +D-only syntax (see List BASIC)").arg(loaders);
}

// Whether the browser lists a file of this name (its pattern): a disc image or an archive.
bool is_image_name(const std::string& path)
{
    return image::layout_from_path(path) != image::Layout::None || image::is_container_name(path);
}

// An entry of the list's context menu: its label, whether it applies to the row the menu was opened on (it is
// greyed out where not), and what it does with that row. The menu is built from this table alone.
struct RowAction
{
    const char* label;
    bool (*applies)(const image::CatalogueRow& row);
    void (*run)(MainWindow& window, const image::CatalogueRow& row);
};

const std::array<RowAction, 5> ROW_ACTIONS = {{
    {"View Screen", [](const image::CatalogueRow& row) { return image::is_screen(row); },
     [](MainWindow& window, const image::CatalogueRow& row) {
         window.view_screen(row);
     }},
    {"Convert to TAP", [](const image::CatalogueRow& row) { return image::has_tape_form(row.type_code); },
     [](MainWindow& window, const image::CatalogueRow&) {
         window.convert_to_tap();
     }},
    {"List BASIC", [](const image::CatalogueRow& row) { return row.type_code == image::TYPE_ZX_BASIC; },
     [](MainWindow& window, const image::CatalogueRow& row) {
         window.list_basic(row);
     }},
    {"Export file\u2026", [](const image::CatalogueRow& row) { return files::is_exportable(row.type_code); },
     [](MainWindow& window, const image::CatalogueRow& row) {
         window.export_row(row);
     }},
    {"Save as snapshot\u2026",
     [](const image::CatalogueRow& row) { return snapshot::is_plusd_snapshot_type(row.type_code); },
     [](MainWindow& window, const image::CatalogueRow& row) {
         window.save_snapshot(row);
     }},
}};

QPushButton* make_button(const char* text, const char* name, QWidget* parent)
{
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

} // namespace

MainWindow::MainWindow(common::Settings& settings, std::string settings_path, Services services,
                       const inspect::PixelTable& pixels, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_settings(settings), m_settings_path(std::move(settings_path)), m_services(services), m_pixels(pixels),
      m_samdisk_command(from_path(common::samdisk_command(settings)))
{
    setObjectName("mainWindow");
    setWindowTitle(QString("Kestrel v. %1 - written by the Kestrel team, 2026").arg(common::VERSION));
    // A small, slightly narrow face, so that every caption fits its 120-pixel button.
    QFont ui_font = font();
    ui_font.setPixelSize(UI_FONT_PIXELS);
    ui_font.setStretch(QFont::SemiCondensed);
    setFont(ui_font);
    setMinimumSize(MIN_CLIENT_WIDTH, MIN_CLIENT_HEIGHT);
    resize(CLIENT_WIDTH, CLIENT_HEIGHT);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        resize(std::min(CLIENT_WIDTH, available.width()), std::min(CLIENT_HEIGHT, available.height()));
        move(available.center() - rect().center());
    }
    create_controls();
    qApp->installEventFilter(this);
}

void MainWindow::create_controls()
{
    m_browser = new FileBrowser(this);
    m_browser->setObjectName("fileBrowser");
    m_browser->set_text(from_path(m_settings.Currentdir) + IMAGE_PATTERN);
    connect(m_browser, &FileBrowser::browser_event, this, &MainWindow::on_browser_event);

    m_list = new QTreeWidget(this);
    m_list->setObjectName("mainList");
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setColumnCount(image::CATALOGUE_COLUMNS);
    QStringList titles;
    for (const char* title : COLUMN_TITLES)
        titles << title;
    m_list->setHeaderLabels(titles);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionsMovable(false);
    for (int column = 0; column < image::CATALOGUE_COLUMNS; ++column)
        m_list->setColumnWidth(column, COLUMN_WIDTHS[static_cast<std::size_t>(column)]);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { view_selected_screen(); });
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QTreeWidget::customContextMenuRequested, this, &MainWindow::show_row_menu);

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName("splitter");
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(SEPARATOR_WIDTH);
    m_splitter->addWidget(m_browser);
    m_splitter->addWidget(m_list);
    m_splitter->setGeometry(0, 0, CLIENT_WIDTH, SPLITTER_HEIGHT);
    const int left = (CLIENT_WIDTH - SEPARATOR_WIDTH) / 2;
    m_splitter->setSizes({left, CLIENT_WIDTH - SEPARATOR_WIDTH - left});

    m_convert = make_button("Convert to TAP", "convertButton", this);
    m_options = make_button("Options", "optionsButton", this);
    m_grab_a = make_button("Grab Drive A: to MGT", "grabAButton", this);
    m_grab_b = make_button("Grab Drive B: to MGT", "grabBButton", this);
    m_donate = make_button("Donate", "donateButton", this);
    m_view = make_button("View Screen", "viewButton", this);
    m_write_a = make_button("Write MGT to Drive A:", "writeAButton", this);
    m_write_b = make_button("Write MGT to Drive B:", "writeBButton", this);
    const std::array<QPushButton*, 4> left_buttons = {m_convert, m_options, m_grab_a, m_grab_b};
    const std::array<QPushButton*, 4> right_buttons = {m_donate, m_view, m_write_a, m_write_b};
    for (std::size_t i = 0; i < left_buttons.size(); ++i) {
        const int y = FIRST_BUTTON_Y + static_cast<int>(i) * BUTTON_STEP;
        left_buttons[i]->setGeometry(LEFT_BUTTONS_X, y, BUTTON_WIDTH, BUTTON_HEIGHT);
        right_buttons[i]->setGeometry(RIGHT_BUTTONS_X, y, BUTTON_WIDTH, BUTTON_HEIGHT);
    }
    connect(m_convert, &QPushButton::clicked, this, &MainWindow::convert_to_tap);
    connect(m_options, &QPushButton::clicked, this, &MainWindow::show_options);
    connect(m_grab_a, &QPushButton::clicked, this, [this] { grab_disc('A'); });
    connect(m_grab_b, &QPushButton::clicked, this, [this] { grab_disc('B'); });
    connect(m_write_a, &QPushButton::clicked, this, [this] { write_to_drive('A'); });
    connect(m_write_b, &QPushButton::clicked, this, [this] { write_to_drive('B'); });
    connect(m_donate, &QPushButton::clicked, this, [this] {
        if (!m_services.runner.run_program(DONATE_ADDRESS, QString(), QString(), false))
            show_status(QString("No web browser could be started; the donation page is ") + DONATE_ADDRESS);
    });
    connect(m_view, &QPushButton::clicked, this, &MainWindow::view_selected_screen);

    check_drive_buttons();

    m_pane = new QPlainTextEdit(this);
    m_pane->setObjectName("messagePane");
    m_pane->setReadOnly(true);
    m_pane->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_pane->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_pane->setMaximumBlockCount(0);
    m_pane->setGeometry(PANE_X, PANE_Y, PANE_WIDTH, PANE_HEIGHT);
    // No control takes drops (the pane is read-only), so a drop anywhere on the window reaches the window.
    setAcceptDrops(true);

    m_status = new QStatusBar(this);
    m_status->setObjectName("statusBar");

    m_browser_menu = new QMenu(this);
    m_browser_menu->setObjectName("browserMenu");
    m_rename_action = m_browser_menu->addAction("Rename file", this, &MainWindow::rename_image_file);
    m_delete_action = m_browser_menu->addAction("Delete file", this, &MainWindow::delete_image_file);
    m_browser_menu->addAction(QString::fromUtf8("New image from tapes\u2026"), this, &MainWindow::new_image_from_tapes);
}

void MainWindow::check_drive_buttons()
{
    if (!m_services.system.is_removable_drive("a:")) {
        m_grab_a->setEnabled(false);
        m_write_a->setEnabled(false);
    }
    if (!m_services.system.is_removable_drive("b:")) {
        m_grab_b->setEnabled(false);
        m_write_b->setEnabled(false);
    }
    const qint64 size = m_settings.SAMDisk.empty() ? -1 : m_services.system.file_size(from_path(m_settings.SAMDisk));
    const bool samdisk_usable = size >= SAMDISK_MIN_SIZE && size <= SAMDISK_MAX_SIZE;
    // Without a usable SAMDisk the buttons use the built-in transfer, where the platform has one.
    m_builtin_transfer = !samdisk_usable && m_services.drives.is_available();
    if (!samdisk_usable && !m_builtin_transfer) {
        for (QPushButton* button : {m_grab_a, m_grab_b, m_write_a, m_write_b})
            button->setEnabled(false);
    }
}

void MainWindow::relayout(int width, int height)
{
    m_splitter->setGeometry(0, 0, width, height - BELOW_SPLITTER);
    m_pane->setGeometry(PANE_X, height - BELOW_SPLITTER, width - PANE_X, PANE_HEIGHT);
    const std::array<std::array<QPushButton*, 2>, 4> rows = {
        {{m_convert, m_donate}, {m_options, m_view}, {m_grab_a, m_write_a}, {m_grab_b, m_write_b}}};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int y = height - FIRST_BUTTON_FROM_BOTTOM + static_cast<int>(i) * BUTTON_STEP;
        rows[i][0]->move(LEFT_BUTTONS_X, y);
        rows[i][1]->move(RIGHT_BUTTONS_X, y);
    }
    const int status_height = m_status->sizeHint().height();
    m_status->setGeometry(0, height - status_height, width, status_height);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayout(width(), height());
}

void MainWindow::select_all_rows()
{
    m_list->selectAll();
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Control+A selects every row, whichever control of this window has the focus; in a requester or any
        // other window it stays theirs. The key event reaches the filter once per receiving object; only the
        // first delivery (the focus widget) counts.
        if (key->key() == Qt::Key_A && (key->modifiers() & Qt::ControlModifier) && watched->isWidgetType() &&
            static_cast<QWidget*>(watched) == QApplication::focusWidget() &&
            static_cast<QWidget*>(watched)->window() == this)
            select_all_rows();
        // Return on the list does what a double click does; Delete on an image in the browser deletes it, after
        // the question.
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (watched == m_list && plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            !m_list->selectedItems().isEmpty()) {
            view_selected_screen();
            return true;
        }
        if (watched == m_browser && plain && key->key() == Qt::Key_Delete) {
            const QString path = m_browser->selected_path();
            if (!path.isEmpty() && !path.endsWith('/')) {
                delete_image_file();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    // Every drag is taken, so that a drop of anything but an image can say why nothing happens.
    event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    event->acceptProposedAction();
    open_dropped(event->mimeData()->urls());
}

void MainWindow::open_dropped(const QList<QUrl>& urls)
{
    QStringList files;
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            files << url.toLocalFile();
    }
    if (files.size() != 1) {
        show_status(files.isEmpty() ? QString("Only a disc image file (.mgt, .dsk, .img) can be dropped here")
                                    : QString("%1 files dropped: drop one disc image at a time").arg(files.size()));
        return;
    }
    const QFileInfo info(files.front());
    if (info.isDir()) {
        show_status(info.fileName() + " is a folder, not a disc image");
        return;
    }
    // open_image knows which names and contents are images; an image that cannot be read is still listed, as a
    // click would list it, and says why there.
    auto opened = image::open_image(to_path(info.filePath()));
    if (const auto* failure = std::get_if<image::OpenFailure>(&opened); failure && failure->not_an_image) {
        show_status(info.fileName() + ": " + from_path(failure->reason));
        return;
    }
    select_and_list(info.filePath());
}

void MainWindow::select_and_list(const QString& path)
{
    const QString before = m_browser->selected_path();
    if (!m_browser->select_path(path)) {
        show_status(path + " cannot be shown in the folder tree");
        return;
    }
    // Selecting the item that is already selected reports no change.
    if (m_browser->selected_path() == before)
        on_browser_event(FileBrowser::Event::LeftClick);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // A close request while a sub-window runs closes that window only.
    if (is_modal_active()) {
        if (QWidget* window = active_modal_window())
            window->close();
        event->ignore();
        return;
    }
    common::save_settings(m_settings_path, m_settings);
    event->accept();
}

void MainWindow::on_browser_event(FileBrowser::Event kind)
{
    m_pane->clear();
    m_status->clearMessage();
    m_current_image_path = to_path(m_browser->selected_path());
    m_settings.Currentdir = common::folder_part(m_current_image_path);
    const image::Layout layout = image::layout_from_path(m_current_image_path);
    if (layout != image::Layout::None || image::is_container_name(m_current_image_path)) {
        m_layout = layout;
        // Passing over an archive with the arrow keys does not ask which of its images to list.
        load_image(m_current_image_path, kind != FileBrowser::Event::SelectionChange || !m_browser->moving_by_keys());
    }
    drain_pending_events();
    if (kind == FileBrowser::Event::RightClick) {
        // A folder gets no file actions.
        const bool file = !m_current_image_path.empty() && !m_current_image_path.ends_with('/');
        m_rename_action->setVisible(file);
        m_delete_action->setVisible(file);
        m_browser_menu->exec(QCursor::pos() - QPoint(1, 1));
    }
}

void MainWindow::load_image(const std::string& path, bool may_ask)
{
    m_catalogue.clear();
    m_catalogue_path = path;
    m_listed_file = path;
    auto opened = image::open_image(path);
    if (const auto* failure = std::get_if<image::OpenFailure>(&opened); failure && !failure->choices.empty()) {
        // An archive of several images: the one the user picks is listed as ARCHIVE/NAME.
        QStringList items;
        for (const std::string& name : failure->choices)
            items << from_path(name);
        const QString archive = from_path(common::file_part(path));
        if (!may_ask) {
            fill_list();
            show_status(QString("%1 holds %2 images: press Return to choose").arg(archive).arg(items.size()));
            return;
        }
        const QString choice =
            m_services.requester.ask_choice("Choose an image", archive + " holds several disc images:", items);
        if (choice.isEmpty()) {
            fill_list();
            show_status(
                QString("%1 holds %2 images (%3); none chosen").arg(archive).arg(items.size()).arg(items.join(", ")));
            return;
        }
        m_catalogue_path = path + "/" + to_path(choice);
        opened = image::open_image(m_catalogue_path);
    }
    auto* image = std::get_if<image::OpenImage>(&opened);
    if (image)
        m_catalogue = image::read_directory(*image->source);
    fill_list();
    const QString shown = from_path(common::file_part(m_catalogue_path));
    if (image) {
        append_lines(image->findings);
        if (image->scannable) {
            append_lines(inspect::scan_image(*image->source, m_catalogue_path).lines);
            if (const auto reason = inspect::foreign_directory_reason(m_catalogue))
                show_status(shown + " does not look like a +D/SAM directory: " + from_path(*reason));
        } else
            show_status(QString("%1 listed but not checked: %2 bytes, not the %3 of a disc image")
                            .arg(shown)
                            .arg(image->raw_size)
                            .arg(image::IMAGE_BYTES));
        return;
    }
    // Nothing listed: an image of the right size that cannot be opened shows the scan's first line, and the status
    // bar says why (a 9-sector DSK, a damaged archive, no permission).
    const auto& failure = std::get<image::OpenFailure>(opened);
    if (failure.size == image::IMAGE_BYTES)
        append_lines({inspect::scan_first_line(path)});
    show_status(shown + ": " + from_path(failure.reason));
}

std::unique_ptr<image::SectorSource> MainWindow::open_listed_image() const
{
    auto opened = image::open_image(m_catalogue_path);
    if (auto* image = std::get_if<image::OpenImage>(&opened))
        return std::move(image->source);
    // An image that went away since it was listed reads as a blank disc: every file then reports that it could
    // not be converted.
    return std::make_unique<image::RawImage>(std::make_unique<image::MemoryBytes>(std::vector<std::uint8_t>{}),
                                             image::Layout::Interleaved);
}

bool MainWindow::is_listed_image(const std::string& path) const
{
    if (m_listed_file.empty())
        return false;
    const QString listed = QFileInfo(from_path(m_listed_file)).canonicalFilePath();
    return !listed.isEmpty() && listed == QFileInfo(from_path(path)).canonicalFilePath();
}

void MainWindow::show_status(const QString& text)
{
    m_status->showMessage(text);
}

void MainWindow::fill_list()
{
    m_list->clear();
    if (m_catalogue.empty())
        return;
    // No repaint per row: the list is redrawn once when it is filled.
    m_list->setUpdatesEnabled(false);
    QList<QTreeWidgetItem*> items;
    for (std::size_t i = 0; i < m_catalogue.size(); ++i) {
        const image::CatalogueRow& row = m_catalogue[i];
        const auto cells = image::cell_texts(row);
        auto* item = new QTreeWidgetItem();
        // A type code without a name keeps its cell; the tooltip says what is known of it.
        const QString note = from_disc(image::type_note(row.type_code));
        for (int column = 0; column < image::CATALOGUE_COLUMNS; ++column) {
            item->setText(column, shown_disc_text(cells[static_cast<std::size_t>(column)]));
            item->setBackground(column, i % 2 == 0 ? EVEN_ROW : ODD_ROW);
            if (!note.isEmpty())
                item->setToolTip(column, note);
        }
        item->setData(0, Qt::UserRole, row.slot);
        items.append(item);
    }
    m_list->addTopLevelItems(items);
    // The type names are the longest cells: their column takes what they need.
    m_list->resizeColumnToContents(TYPE_COLUMN);
    m_list->setColumnWidth(
        TYPE_COLUMN, std::max(m_list->columnWidth(TYPE_COLUMN), COLUMN_WIDTHS[static_cast<std::size_t>(TYPE_COLUMN)]));
    m_list->setUpdatesEnabled(true);
}

void MainWindow::append_lines(const std::vector<std::string>& lines)
{
    if (lines.empty())
        return;
    m_pane->setUpdatesEnabled(false);
    for (const std::string& line : lines)
        m_pane->appendPlainText(pane_text(line));
    m_pane->setUpdatesEnabled(true);
}

void MainWindow::convert_to_tap()
{
    m_current_image_path = to_path(m_browser->selected_path());
    m_status->clearMessage();
    if (m_list->selectedItems().isEmpty()) {
        show_status("Select the files to convert first");
        return;
    }
    std::vector<tape::SelectedRow> rows;
    int sam_files = 0;
    int tape_forms = 0;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_list->topLevelItem(i);
        const image::CatalogueRow& row = m_catalogue[static_cast<std::size_t>(i)];
        if (item->isSelected()) {
            rows.push_back({row.name, item->data(0, Qt::UserRole).toInt()});
            sam_files += image::file_type(row.type_code).sam_system ? 1 : 0;
            tape_forms += image::has_tape_form(row.type_code) ? 1 : 0;
        }
    }
    const int selected = static_cast<int>(rows.size());
    // Nothing to put on a tape: no name asked, no tape written.
    if (tape_forms == 0) {
        show_status(sam_files == selected ? conversion_status(0, selected, sam_files, QString())
                                          : QString("0 of %1 files: none of them has a tape form").arg(selected));
        return;
    }
    m_pane->clear();
    const QString answer =
        ask_save_path(m_services.requester, "Enter Save Filename", from_path(m_settings.savefile), "TAP Files|*.tap");
    // A cancelled requester ends the command and keeps the remembered name.
    if (answer.isEmpty())
        return;
    m_settings.savefile = to_path(answer);
    if (tape::is_nonempty_file(m_settings.savefile) &&
        !m_services.requester.ask_yes_no("File exist", "Do you want ot overwrite " + answer + " ?", Icon::Question))
        return;

    const auto disc = open_listed_image();
    const tape::ConversionResult result =
        tape::convert_files(*disc, m_catalogue_path, rows, m_settings.BasStrip != 0, m_settings.savefile);
    append_lines(result.lines);
    QString status = conversion_status(result.written, selected, sam_files, answer) +
                     disc_only_status(result.disc_only_loaders.size());
    // Files whose chain ended early went on the tape with zeros: the status says so, as kestrel-cli tap does.
    for (const tape::ShortFile& file : result.short_files)
        status +=
            "; " + from_disc(file.name).trimmed() + ": " + QString::fromStdString(tape::shortfall_text(file.chain));
    show_status(status);
}

void MainWindow::view_selected_screen()
{
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        if (m_list->topLevelItem(i)->isSelected()) {
            view_screen(m_catalogue[static_cast<std::size_t>(i)]);
            return;
        }
    }
    show_status("Select a screen file (6912 bytes) to view");
}

void MainWindow::show_row_menu(const QPoint& position)
{
    const int index = m_list->indexOfTopLevelItem(m_list->itemAt(position));
    if (index < 0 || static_cast<std::size_t>(index) >= m_catalogue.size())
        return;
    const image::CatalogueRow row = m_catalogue[static_cast<std::size_t>(index)];
    QMenu menu(this);
    menu.setObjectName("rowMenu");
    std::optional<std::size_t> chosen;
    for (std::size_t i = 0; i < ROW_ACTIONS.size(); ++i) {
        QAction* action = menu.addAction(QString::fromUtf8(ROW_ACTIONS[i].label));
        action->setEnabled(ROW_ACTIONS[i].applies(row));
        connect(action, &QAction::triggered, &menu, [&chosen, i] { chosen = i; });
    }
    menu.exec(m_list->viewport()->mapToGlobal(position));
    // The command runs once the menu has closed, outside the menu's own event loop.
    if (chosen)
        ROW_ACTIONS[*chosen].run(*this, row);
}

void MainWindow::view_screen(const image::CatalogueRow& row)
{
    m_status->clearMessage();
    const QString name = shown_disc_text(row.name).trimmed();
    if (!image::is_screen(row)) {
        show_status(QString("%1 is %2 bytes long, not a 6912-byte screen").arg(name).arg(row.length));
        return;
    }
    std::optional<tape::Extracted> file = tape::extract_file(*open_listed_image(), row.slot);
    if (!file) {
        show_status(name + " could not be read as a ZX screen");
        return;
    }
    file->data.resize(std::max(file->data.size(), inspect::SCREEN_BYTES), 0);
    std::vector<inspect::Pixel> pixels(inspect::SCREEN_PIXELS);
    inspect::decode_screen(m_pixels, file->data, pixels);
    ScreenViewer viewer(pixels, m_services.requester, listed_folder() + host_file_name(from_disc(row.name)) + ".png",
                        this);
    connect(&viewer, &ScreenViewer::status_message, this, &MainWindow::show_status);
    run_modal(viewer);
}

void MainWindow::list_basic(const image::CatalogueRow& row)
{
    m_status->clearMessage();
    const QString name = shown_disc_text(row.name).trimmed();
    std::optional<tape::Extracted> file = tape::extract_file(*open_listed_image(), row.slot);
    if (!file || file->header[tape::header::TYPE] != tape::TAPE_PROGRAM) {
        show_status(name + " could not be read as a ZX BASIC program");
        return;
    }
    // With the loader rewrite on, the listing shows the program as "Convert to TAP" writes it.
    if (m_settings.BasStrip != 0)
        tape::rewrite_basic_loader(file->data);
    const std::size_t program_length = common::get_le16(file->header, tape::header::PARAM2);
    basic::Listing listing = basic::list_program(file->data, program_length);
    // After the rewrite, the statements that would still stop with a syntax error from tape are marked.
    std::vector<tape::DiscOnlyStatement> disc_only;
    if (m_settings.BasStrip != 0)
        disc_only = tape::find_disc_only_syntax(
            std::span<const std::uint8_t>(file->data).first(std::min(program_length, file->data.size())));
    for (const tape::DiscOnlyStatement& found : disc_only) {
        std::string number = std::to_string(found.line);
        number.insert(0, number.size() < 5 ? 5 - number.size() : 0, ' ');
        const auto line =
            std::ranges::find_if(listing.lines, [&](const std::string& l) { return l.starts_with(number); });
        if (line != listing.lines.end())
            *line += "   <- +D only, stops from tape: statement " + std::to_string(found.statement) + " " + found.what;
    }
    if (!disc_only.empty())
        show_status(name + ": +D-only syntax stops it from tape at " +
                    QString::fromStdString(tape::describe(disc_only)));
    BasicWindow window(name, listing.lines, this);
    run_modal(window);
}

void MainWindow::export_row(const image::CatalogueRow& row)
{
    m_status->clearMessage();
    const QString name = host_file_name(from_disc(row.name));
    const QString target = ask_new_file(m_services.requester, "Export file", listed_folder() + name, "All Files|*");
    if (target.isEmpty())
        return;
    const auto exported = files::export_file(*open_listed_image(), row.slot);
    if (const auto* reason = std::get_if<std::string>(&exported)) {
        show_status(name + ": " + QString::fromStdString(*reason));
        return;
    }
    const auto& file = std::get<files::ExportedFile>(exported);
    if (!write_new_file(target, file.bytes))
        return;
    QString status = QString("%1 exported to %2 (%3 bytes)").arg(name, target).arg(file.bytes.size());
    if (!file.chain.complete())
        status += "; " + QString::fromStdString(tape::shortfall_text(file.chain));
    show_status(status);
}

void MainWindow::save_snapshot(const image::CatalogueRow& row)
{
    m_status->clearMessage();
    const QString name = host_file_name(from_disc(row.name));
    const QString target =
        ask_new_file(m_services.requester, "Save as snapshot", listed_folder() + name + ".z80",
                     "Z80 Snapshots|*.z80|SNA Snapshots|*.sna", [](const QString& path) {
                         return snapshot::format_from_path(to_path(path))
                                    ? QString()
                                    : QFileInfo(path).fileName() + ": a snapshot is saved as .z80 or .sna";
                     });
    if (target.isEmpty())
        return;
    const auto format = snapshot::format_from_path(to_path(target));
    const auto read = snapshot::read_plusd_snapshot(*open_listed_image(), row.slot);
    if (const auto* error = std::get_if<snapshot::DecodeError>(&read)) {
        show_status(name + ": " + QString::fromStdString(error->reason));
        return;
    }
    if (write_new_file(target, snapshot::encode_file(std::get<snapshot::Snapshot>(read), *format)))
        show_status(name + " saved as " + target);
}

void MainWindow::new_image_from_tapes()
{
    m_status->clearMessage();
    const QString folder = from_path(m_settings.Currentdir);
    const QStringList tapes =
        m_services.requester.ask_open_files("Choose tapes", folder, "Tape Files|*.tap;*.tzx|All Files|*");
    if (tapes.isEmpty())
        return;
    const QString target = ask_new_file(
        m_services.requester, "New image name", folder + QFileInfo(tapes.front()).completeBaseName() + ".mgt",
        "MGT Images|*.mgt|IMG Images|*.img", [](const QString& path) {
            return image::layout_from_path(to_path(path)) != image::Layout::None
                       ? QString()
                       : QFileInfo(path).fileName() + ": a new image needs a name ending in .mgt, .dsk or .img";
        });
    if (target.isEmpty())
        return;
    const image::Layout layout = image::layout_from_path(to_path(target));
    std::vector<std::string> paths;
    for (const QString& tape : tapes)
        paths.push_back(to_path(tape));
    const auto made = files::make_disc_from_paths(paths, layout, std::nullopt);
    if (const auto* reason = std::get_if<std::string>(&made)) {
        show_status(from_path(*reason));
        return;
    }
    const files::MadeDisc& disc = std::get<files::MadeDisc>(made);
    if (!write_new_file(target, disc.bytes))
        return;
    select_and_list(target);
    // Listing the new image cleared the pane; the tape blocks left out follow the scan's lines.
    for (const std::string& problem : disc.problems)
        m_pane->appendPlainText(from_path(problem));
    QString status = QString("%1 made: %2 files from %3 tapes")
                         .arg(target)
                         .arg(disc.placed.size())
                         .arg(tapes.size() - static_cast<qsizetype>(disc.refused_tapes));
    if (disc.skipped_blocks > 0)
        status += QString("; %1 tape blocks skipped").arg(disc.skipped_blocks);
    if (disc.refused_tapes > 0)
        status += QString("; %1 tapes not read").arg(disc.refused_tapes);
    show_status(status);
}

QString MainWindow::listed_folder() const
{
    return from_path(common::folder_part(m_listed_file));
}

bool MainWindow::write_new_file(const QString& path, std::span<const std::uint8_t> bytes)
{
    if (const auto failure = common::write_file_atomically(to_path(path), bytes)) {
        show_status("Cannot write " + path + ": " + QString::fromStdString(*failure));
        return false;
    }
    return true;
}

void MainWindow::show_options()
{
    OptionsWindow options(m_settings, m_services, this);
    connect(&options, &OptionsWindow::status_message, this, &MainWindow::show_status);
    run_modal(options);
}

void MainWindow::show_samdisk_hint()
{
    m_services.requester.show_message("Hint", SAMDISK_HINT, Icon::Information);
}

void MainWindow::run_samdisk(const QString& arguments)
{
    const qint64 start = m_services.system.tick_count();
    m_services.runner.run_program(m_samdisk_command, arguments, QString(), true);
    if (m_services.system.tick_count() - start < HINT_THRESHOLD_MS)
        show_samdisk_hint();
}

void MainWindow::show_transfer_lines(const QStringList& lines)
{
    for (const QString& line : lines)
        m_pane->appendPlainText(line);
    if (!lines.isEmpty())
        show_status(lines.last());
}

void MainWindow::grab_disc(char drive)
{
    if (!m_builtin_transfer && m_settings.SAMDisk.empty())
        return;
    m_current_image_path = to_path(m_browser->selected_path());
    m_settings.Currentdir = common::folder_part(m_current_image_path);
    const QString target =
        m_services.requester.ask_save_file("Enter Save Filename", m_grab_target, "MGT Files|*.mgt|DSK Files|*.dsk");
    // A cancelled requester starts nothing and keeps the last target.
    if (target.isEmpty())
        return;
    m_grab_target = target;
    QStringList lines;
    if (m_builtin_transfer)
        lines = read_drive_to_image(m_services, drive, m_grab_target, this);
    else
        run_samdisk(QString("%1: \"%2\" /E").arg(QChar(drive), m_grab_target));
    m_browser->set_text(from_path(m_settings.Currentdir) + IMAGE_PATTERN);
    show_transfer_lines(lines);
}

void MainWindow::write_to_drive(char drive)
{
    if (!m_builtin_transfer && m_settings.SAMDisk.empty())
        return;
    const QString question = drive == 'A'
                                 ? "Please insert EMPTY disc into drive A: and press YES Button, to cancel press NO"
                                 : "Please insert EMPTY disc into Drive B: and press YES Button, to cancel press NO";
    if (m_builtin_transfer) {
        // The image is read whole before anything is asked: one that cannot go onto a disc says why at once, and
        // the file is not held while the disc is written.
        m_current_image_path = to_path(m_browser->selected_path());
        auto disc = load_image_for_drive(from_path(m_current_image_path));
        if (const QString* refusal = std::get_if<QString>(&disc)) {
            show_transfer_lines({*refusal});
            return;
        }
        if (!m_services.requester.ask_yes_no("Writing Image to real disc", question, Icon::Exclamation))
            return;
        show_transfer_lines(write_image_to_drive(m_services, std::get<transfer::DiscCopy>(disc), drive, this));
        return;
    }
    if (!m_services.requester.ask_yes_no("Writing Image to real disc", question, Icon::Exclamation))
        return;
    m_current_image_path = to_path(m_browser->selected_path());
    const std::string extension = common::lower_extension(m_current_image_path);
    if (extension != "mgt" && extension != "dsk") {
        show_status("Only .mgt and .dsk images are written with SAMDisk");
        return;
    }
    // The drive letter stands apart from the quoted path, or it would become part of the path argument.
    run_samdisk(QString("\"%1\" %2: /F /V").arg(from_path(m_current_image_path), QChar(drive)));
}

void MainWindow::rename_image_file()
{
    const QString old_path = m_browser->selected_path();
    if (old_path.isEmpty() || old_path.endsWith('/')) {
        show_status("Select an image file to rename");
        return;
    }
    const QString old_name = QFileInfo(old_path).fileName();
    const QString folder = from_path(common::folder_part(to_path(old_path)));
    const QString answer = m_services.requester.ask_text("Rename file", "Please enter new file name", old_name);
    const QString new_path = folder + answer;
    m_current_image_path = to_path(new_path);
    QString status;
    if (!answer.isEmpty() && answer != old_name) {
        const bool listed = is_listed_image(to_path(old_path));
        QFile file(old_path);
        // Never replaces an existing file.
        if (QFileInfo::exists(new_path)) {
            status = "Not renamed: " + answer + " exists";
        } else if (const QString target_folder = QFileInfo(new_path).path(); !QFileInfo(target_folder).isDir()) {
            status = "Not renamed: there is no folder " + target_folder;
        } else if (!file.rename(new_path)) {
            status = "Not renamed: " + old_name + ": " + file.errorString();
        } else {
            status = "Renamed " + old_name + " to " + answer;
            const bool readable = is_image_name(to_path(new_path));
            if (!readable)
                status += "; the browser lists only disc images and archives (" + QString(IMAGE_PATTERN) + ")";
            // The list follows its image to the new name; under a name the window does not read, or reads another
            // way (.mgt to .img swaps the order of the sides), it goes.
            const bool read_alike =
                image::layout_from_path(to_path(old_path)) == image::layout_from_path(to_path(new_path)) &&
                image::is_container_name(to_path(old_path)) == image::is_container_name(to_path(new_path));
            if (listed && readable && read_alike) {
                const std::string inner = m_catalogue_path.substr(m_listed_file.size());
                m_listed_file = to_path(new_path);
                m_catalogue_path = m_listed_file + inner;
            } else if (listed) {
                forget_list();
            }
        }
    }
    refresh_browser();
    show_status(status);
}

void MainWindow::delete_image_file()
{
    const QString path = m_browser->selected_path();
    if (path.isEmpty() || path.endsWith('/')) {
        show_status("Select an image file to delete");
        return;
    }
    const QString name = QFileInfo(path).fileName();
    const bool trash = m_services.system.has_trash();
    QString question = "Deleting " + path;
    if (!trash)
        question += "\n\nThere is no trash here: the file is deleted for good.";
    QString status;
    if (m_services.requester.ask_yes_no("Are you sure?", question, Icon::Question)) {
        const bool listed = is_listed_image(to_path(path));
        bool gone = false;
        if (trash) {
            const QString reason = m_services.system.move_to_trash(path);
            gone = reason.isEmpty();
            status = gone ? "Moved " + name + " to the trash" : "Not deleted: " + name + ": " + reason;
        } else {
            QFile file(path);
            gone = file.remove();
            status = gone ? "Deleted " + name + " for good" : "Not deleted: " + name + ": " + file.errorString();
        }
        // The list of a deleted image would only lead to empty tapes: it goes with the file.
        if (gone && listed)
            forget_list();
    }
    refresh_browser();
    show_status(status);
}

void MainWindow::forget_list()
{
    m_catalogue.clear();
    m_catalogue_path.clear();
    m_listed_file.clear();
    fill_list();
}

void MainWindow::refresh_browser()
{
    m_browser->set_text(from_path(m_settings.Currentdir) + IMAGE_PATTERN);
}

} // namespace shell
