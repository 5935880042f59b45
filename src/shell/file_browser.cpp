#include "shell/file_browser.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QTimer>

#include <utility>

namespace shell {
namespace {

constexpr char SEPARATOR = '/';

// The desktop's icons by file type give .mgt, .dsk, .img, .zip and .gz files different icons or none, and their
// names then start at different places: every file listed (the pattern lists only images) gets the floppy icon.
// The model may ask from its reading thread: the icon is made once, in the window's thread.
class ImageIconProvider : public QFileIconProvider
{
public:
    ImageIconProvider() : m_image(QApplication::style()->standardIcon(QStyle::SP_DriveFDIcon)) {}
    QIcon icon(const QFileInfo& info) const override { return info.isFile() ? m_image : QFileIconProvider::icon(info); }
    using QFileIconProvider::icon;

private:
    QIcon m_image;
};

} // namespace

FileBrowser::FileBrowser(QWidget* parent) : QTreeView(parent), m_icons(std::make_unique<ImageIconProvider>())
{
    setHeaderHidden(true);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setContextMenuPolicy(Qt::PreventContextMenu);
    make_model({});
}

FileBrowser::~FileBrowser()
{
    // The model's reading thread may ask for icons until the model is gone.
    delete m_model;
}

void FileBrowser::make_model(const QStringList& patterns)
{
    auto* model = new QFileSystemModel(this);
    // Connected before the view's selection model is, so that it runs before the selection moves on.
    connect(model, &QFileSystemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex& parent, int first, int last) {
                for (QModelIndex at = currentIndex(); at.isValid(); at = at.parent()) {
                    if (at.parent() == parent && at.row() >= first && at.row() <= last)
                        m_selected_going = true;
                }
            });
    connect(model, &QFileSystemModel::rowsRemoved, this, [this] { m_selected_going = false; });
    model->setIconProvider(m_icons.get());
    model->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot | QDir::Drives);
    model->setNameFilters(patterns);
    model->setNameFilterDisables(false);
    model->setReadOnly(true);
    model->setRootPath(QStringLiteral("/"));
    QFileSystemModel* old = m_model;
    m_model = model;
    setModel(model);
    setRootIndex(model->index(QString()));
    for (int column = 1; column < model->columnCount(); ++column)
        hideColumn(column);
    setSortingEnabled(true);
    sortByColumn(0, Qt::AscendingOrder);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        emit browser_event(std::exchange(m_selected_going, false) ? Event::SelectedGone : Event::SelectionChange);
    });
    const auto follow = [this] {
        if (m_follow_selection)
            QTimer::singleShot(0, this, [this] {
                if (m_follow_selection)
                    scrollTo(currentIndex(), QAbstractItemView::PositionAtTop);
            });
    };
    connect(model, &QFileSystemModel::directoryLoaded, this, follow);
    connect(model, &QFileSystemModel::layoutChanged, this, follow);
    connect(model, &QFileSystemModel::rowsInserted, this, follow);
    delete old;
}

QString FileBrowser::selected_path() const
{
    const QModelIndex index = currentIndex();
    if (!index.isValid())
        return {};
    QString path = m_model->filePath(index);
    if (m_model->isDir(index) && !path.endsWith(SEPARATOR))
        path += SEPARATOR;
    return path;
}

void FileBrowser::set_text(const QString& text)
{
    const qsizetype cut = text.lastIndexOf(SEPARATOR) + 1;
    const QString folder = text.left(cut);
    const QString pattern = text.mid(cut);
    if (!pattern.isEmpty()) {
        make_model(pattern.split(';', Qt::SkipEmptyParts));
    }
    select_folder(folder);
}

void FileBrowser::select_folder(const QString& folder)
{
    select_path(folder.isEmpty() ? QStringLiteral("/") : folder);
}

bool FileBrowser::select_path(const QString& path)
{
    const QModelIndex index = m_model->index(path);
    if (!index.isValid())
        return false;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        expand(up);
    if (m_model->isDir(index))
        expand(index);
    setCurrentIndex(index);
    m_follow_selection = true;
    scrollTo(index, QAbstractItemView::PositionAtTop);
    return true;
}

void FileBrowser::mousePressEvent(QMouseEvent* event)
{
    m_follow_selection = false;
    const QModelIndex hit = indexAt(event->position().toPoint());
    if (event->button() == Qt::RightButton) {
        // A right click first selects the item under the pointer; only a right click on the item that is
        // already selected counts as a right click (and brings the menu).
        if (!hit.isValid())
            return;
        if (hit != currentIndex()) {
            setCurrentIndex(hit);
            return;
        }
        emit browser_event(Event::RightClick);
        return;
    }
    const QModelIndex before = currentIndex();
    QTreeView::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && hit.isValid() && hit == before && currentIndex() == before)
        emit browser_event(Event::LeftClick);
}

void FileBrowser::keyPressEvent(QKeyEvent* event)
{
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
        emit browser_event(Event::LeftClick);
        return;
    }
    m_follow_selection = false;
    m_moving_by_keys = true;
    QTreeView::keyPressEvent(event);
    m_moving_by_keys = false;
}

} // namespace shell
