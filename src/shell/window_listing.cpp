// MainWindow's listing: what a browser event does, the image listed and checked, the list filled, and the listed
// image opened again for a command.
#include "shell/main_window.h"

#include "common/path_text.h"
#include "image/open_container.h"
#include "shell/modal.h"
#include "shell/text.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTreeWidget>

#include <algorithm>

namespace shell {
namespace {

constexpr std::array<int, image::CATALOGUE_COLUMNS> COLUMN_WIDTHS = {100, 50, 50, 50, 80, 50, 50, 50};
constexpr std::array<const char*, image::CATALOGUE_COLUMNS> COLUMN_TITLES = {"Filename", "Start",  "Length", "Attr",
                                                                             "Type",     "StartS", "StartT", "Sect"};
constexpr int TYPE_COLUMN = 4;
const QColor EVEN_ROW(255, 255, 255);
const QColor ODD_ROW(223, 223, 223);

// An image opened, or why not; never an archive's choice, which is asked for first.
std::variant<image::OpenImage, common::Error> one_image(image::Opened opened)
{
    if (auto* image = std::get_if<image::OpenImage>(&opened))
        return std::move(*image);
    return std::get<common::Error>(std::move(opened));
}

} // namespace

void MainWindow::create_list()
{
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
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        const int index = m_list->indexOfTopLevelItem(item);
        if (index >= 0 && static_cast<std::size_t>(index) < m_listed.catalogue.size())
            open_row(m_listed.catalogue[static_cast<std::size_t>(index)]);
    });
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QTreeWidget::customContextMenuRequested, this, &MainWindow::show_row_menu);
}

void MainWindow::on_browser_event(FileBrowser::Event kind)
{
    m_current_image_path = to_path(m_browser->selected_path());
    if (kind == FileBrowser::Event::SelectedGone) {
        // The browser moved on from an item taken away: nothing else is listed in its place.
        if (!m_listed.empty() && session::check_listed_file(m_listed) == session::ListedFile::Gone) {
            const QString shown = from_path(common::file_part(m_listed.path));
            m_pane->clear();
            forget_list();
            show_status(shown + " was moved or deleted: nothing is listed");
        }
        return;
    }
    m_pane->clear();
    m_status->clearMessage();
    m_settings.Currentdir = common::folder_part(m_current_image_path);
    if (is_image_name(m_current_image_path)) {
        // Passing over an archive with the arrow keys does not ask which of its images to list.
        load_image(m_current_image_path, kind != FileBrowser::Event::SelectionChange || !m_browser->moving_by_keys());
    }
    drain_pending_events();
    if (kind == FileBrowser::Event::RightClick)
        show_browser_menu();
}

void MainWindow::load_image(const std::string& path, bool may_ask)
{
    m_listed = {};
    std::string listed_path = path;
    auto opened = image::open_image(path);
    if (const auto* several = std::get_if<image::ArchiveChoice>(&opened)) {
        // An archive of several images: the one the user picks is listed as ARCHIVE/NAME.
        QStringList items;
        for (const std::string& name : several->names)
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
        listed_path = path + "/" + to_path(choice);
    }
    session::Listing listing = session::list_opened(
        listed_path, listed_path == path ? one_image(std::move(opened)) : image::open_one_image(listed_path));
    m_listed = std::move(listing.listed);
    fill_list();
    append_lines(listing.pane);
    if (!listing.status.empty())
        show_status(shown_text(listing.status));
    else if (!listing.dos.empty())
        show_status(shown_text(listing.dos));
}

void MainWindow::relist()
{
    m_pane->clear();
    const std::string path = m_listed.path; // load_image empties m_listed first
    load_image(path, false);
}

bool MainWindow::is_listed_image(const std::string& path) const
{
    if (m_listed.empty())
        return false;
    const QString listed = QFileInfo(from_path(m_listed.file)).canonicalFilePath();
    return !listed.isEmpty() && listed == QFileInfo(from_path(path)).canonicalFilePath();
}

void MainWindow::fill_list()
{
    m_list->clear();
    const image::Catalogue& catalogue = m_listed.catalogue;
    if (catalogue.empty())
        return;
    // No repaint per row: the list is redrawn once when it is filled.
    m_list->setUpdatesEnabled(false);
    QList<QTreeWidgetItem*> items;
    for (std::size_t i = 0; i < catalogue.size(); ++i) {
        const image::CatalogueRow& row = catalogue[i];
        const auto cells = image::cell_texts(row);
        auto* item = new QTreeWidgetItem();
        // A type code without a name keeps its cell; the tooltip says what is known of it, or of a SAM file what
        // its entry says beyond the columns.
        QString note = from_disc(image::type_note(row.type_code));
        if (note.isEmpty())
            note = from_disc(image::sam_facts_text(row.sam));
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

void MainWindow::forget_list()
{
    m_listed = {};
    fill_list();
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

QString MainWindow::listed_folder() const
{
    return from_path(common::folder_part(m_listed.file));
}

} // namespace shell
