#include "shell/file_browser.h"

#include <QFileSystemModel>
#include <QHeaderView>
#include <QMouseEvent>
#include <QTimer>

namespace shell {
namespace {

constexpr char SEPARATOR = '/';

} // namespace

FileBrowser::FileBrowser(QWidget* parent) : QTreeView(parent)
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

void FileBrowser::make_model(const QStringList& patterns)
{
    auto* model = new QFileSystemModel(this);
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
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { emit browser_event(Event::SelectionChange); });
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

} // namespace shell
