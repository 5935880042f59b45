#include "shell/main_window.h"

#include "common/path_text.h"
#include "common/version.h"
#include "shell/modal.h"
#include "shell/options_window.h"
#include "shell/text.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
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
    refresh_browser();
    connect(m_browser, &FileBrowser::browser_event, this, &MainWindow::on_browser_event);

    create_list();

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
    connect(m_donate, &QPushButton::clicked, this, &MainWindow::donate);
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

    create_browser_menu();
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
    const bool ours = watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this;
    // Tab into the list selects its current row (the first when none), so that Return and Delete act on what the
    // focus shows.
    if (watched == m_list && event->type() == QEvent::FocusIn && m_list->selectedItems().isEmpty() &&
        m_list->topLevelItemCount() > 0) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) {
            QTreeWidgetItem* item = m_list->currentItem() ? m_list->currentItem() : m_list->topLevelItem(0);
            m_list->setCurrentItem(item);
        }
    }
    if (event->type() != QEvent::KeyPress || !ours)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    // Control+A selects every row, whichever control of this window has the focus; in a requester or any other
    // window it stays theirs. The key event reaches the filter once per receiving object; only the first delivery
    // (the focus widget) counts.
    if (key->key() == Qt::Key_A && (key->modifiers() & Qt::ControlModifier) &&
        static_cast<QWidget*>(watched) == QApplication::focusWidget())
        select_all_rows();
    // Undo and redo of the image's edits, and F1, from any control of this window (none of them edits text); taken
    // here, the key goes no further.
    const auto modifiers = key->modifiers() & ~Qt::KeypadModifier;
    const bool control = modifiers == Qt::ControlModifier;
    if (key->matches(QKeySequence::Undo)) {
        undo_edit();
        return true;
    }
    if ((control && key->key() == Qt::Key_Y) ||
        (modifiers == (Qt::ControlModifier | Qt::ShiftModifier) && key->key() == Qt::Key_Z)) {
        redo_edit();
        return true;
    }
    if (modifiers == Qt::NoModifier && key->key() == Qt::Key_F1) {
        show_about();
        return true;
    }
    if (watched == m_list && list_key(*key))
        return true;
    if (watched == m_browser && browser_key(*key))
        return true;
    return QWidget::eventFilter(watched, event);
}

int MainWindow::key_row() const
{
    QTreeWidgetItem* current = m_list->currentItem();
    if (current && current->isSelected())
        return m_list->indexOfTopLevelItem(current);
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        if (m_list->topLevelItem(i)->isSelected())
            return i;
    }
    return -1;
}

bool MainWindow::list_key(const QKeyEvent& key)
{
    const auto modifiers = key.modifiers() & ~Qt::KeypadModifier;
    const bool plain = modifiers == Qt::NoModifier;
    // The menu key (or Shift+F10) opens the row menu at the current row, or below the rows when there is none.
    if ((plain && key.key() == Qt::Key_Menu) || (modifiers == Qt::ShiftModifier && key.key() == Qt::Key_F10)) {
        QTreeWidgetItem* current = m_list->currentItem();
        open_row_menu(m_list->indexOfTopLevelItem(current),
                      current ? m_list->visualItemRect(current).center() : QPoint(1, 1));
        return true;
    }
    if (!plain || m_listed.empty())
        return false;
    if (key.key() == Qt::Key_Insert) {
        add_files_to_image();
        return true;
    }
    if (key.key() != Qt::Key_Return && key.key() != Qt::Key_Enter && key.key() != Qt::Key_Delete)
        return false;
    const int row = key_row();
    if (row < 0 || static_cast<std::size_t>(row) >= m_listed.catalogue.size()) {
        show_status("Select a file first");
        return true;
    }
    const image::CatalogueRow chosen = m_listed.catalogue[static_cast<std::size_t>(row)];
    if (key.key() == Qt::Key_Delete)
        delete_from_image(chosen);
    else
        open_row(chosen);
    return true;
}

bool MainWindow::browser_key(const QKeyEvent& key)
{
    const auto modifiers = key.modifiers() & ~Qt::KeypadModifier;
    const QString path = m_browser->selected_path();
    const bool file = !path.isEmpty() && !path.endsWith('/');
    if ((modifiers == Qt::NoModifier && key.key() == Qt::Key_Menu) ||
        (modifiers == Qt::ShiftModifier && key.key() == Qt::Key_F10)) {
        const QRect item = m_browser->visualRect(m_browser->currentIndex());
        show_browser_menu(m_browser->viewport()->mapToGlobal(item.isValid() ? item.center() : QPoint(1, 1)));
        return true;
    }
    if (modifiers != Qt::NoModifier || !file)
        return false;
    // F2 renames the selected image, Delete deletes it, after the question.
    if (key.key() == Qt::Key_F2) {
        rename_image_file();
        return true;
    }
    if (key.key() == Qt::Key_Delete) {
        delete_image_file();
        return true;
    }
    return false;
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

void MainWindow::show_status(const QString& text)
{
    m_status->showMessage(text);
}

void MainWindow::append_lines(const std::vector<session::Text>& lines)
{
    if (lines.empty())
        return;
    m_pane->setUpdatesEnabled(false);
    for (const session::Text& line : lines)
        m_pane->appendPlainText(shown_text(line));
    m_pane->setUpdatesEnabled(true);
}

void MainWindow::donate()
{
    if (*DONATE_ADDRESS == '\0') {
        const QString readme = readme_path();
        m_services.requester.show_message(
            "Donate",
            "Kestrel has no donation page yet, so this button opens no web address.\n\nHow to support the project "
            "meanwhile: the section \"Supporting Kestrel\" of the README" +
                (readme.isEmpty() ? QString(".") : QString(":\n") + readme),
            Icon::Information);
        return;
    }
    if (!m_services.runner.run_program(DONATE_ADDRESS, QString(), QString(), false))
        show_status(QString("No web browser could be started; the donation page is ") + DONATE_ADDRESS);
}

QString readme_path()
{
    const QString installed = QCoreApplication::applicationDirPath() + "/../share/doc/kestrel/README.md";
    for (const QString& path : {installed, QString(KESTREL_SOURCE_DIR "/README.md")}) {
        if (QFileInfo(path).isFile())
            return QFileInfo(path).canonicalFilePath();
    }
    return {};
}

QString about_text()
{
    const QString readme = readme_path();
    return QString("Kestrel %1\n\nLists, checks, converts and edits ZX Spectrum and SAM Coup\u00e9 +D floppy "
                   "images.\n\nLicence: none yet. Kestrel has not been published under a licence; all rights are "
                   "reserved by the Kestrel developers.\n\nThe manual is the README: %2")
        .arg(common::VERSION)
        .arg(readme.isEmpty() ? QString("README.md in Kestrel's sources") : readme);
}

void MainWindow::show_about()
{
    m_services.requester.show_message("About Kestrel", about_text(), Icon::Information);
}

void MainWindow::show_options()
{
    OptionsWindow options(m_settings, m_services, this);
    connect(&options, &OptionsWindow::status_message, this, &MainWindow::show_status);
    run_modal(options);
}

} // namespace shell
