// The file browser: a folder tree of the host's file system ("/" stands for the drives) that lists folders and
// then the files matching its pattern, sorted by name; every disc image shows the same floppy icon. The main window
// reads its selected path, points it at a folder, and serves the events it reports.
#pragma once

#include <QTreeView>

#include <memory>

class QAbstractFileIconProvider;
class QFileSystemModel;

namespace shell {

class FileBrowser : public QTreeView
{
    Q_OBJECT
public:
    enum class Event
    {
        LeftClick,
        RightClick,
        SelectionChange,
        SelectedGone, // the selected item left the folder tree (moved or deleted), and another is selected now
    };

    explicit FileBrowser(QWidget* parent = nullptr);
    ~FileBrowser() override;

    // Full path of the selected item; a folder's path ends in "/". "" when nothing is selected.
    QString selected_path() const;

    // A text whose part after the last "/" is not empty makes that part the pattern (";"-separated wildcards),
    // reads the whole tree afresh, then opens the folders of the path and selects the last one. A text ending in
    // "/" keeps the pattern and the tree and only opens and selects that folder.
    void set_text(const QString& text);

    // Opens the folders down to `path` (a file or a folder) and selects it, keeping the pattern and the tree. False
    // when the browser cannot show it: it does not exist, or its name does not match the pattern.
    bool select_path(const QString& path);

    QFileSystemModel* file_model() const { return m_model; }

    // True while a key moves the selection (arrows, page keys, typing a name): the user passes over items rather
    // than choosing one.
    bool moving_by_keys() const { return m_moving_by_keys; }

signals:
    // Reported for a left click on the selected item, Return or Enter on it (as a left click), a right click on the
    // selected item, and every change of the selected item (made by the user or by set_text; SelectedGone when the
    // selected item was taken away). Double clicks are not reported.
    void browser_event(shell::FileBrowser::Event kind);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void make_model(const QStringList& patterns);
    void select_folder(const QString& folder);

    std::unique_ptr<QAbstractFileIconProvider> m_icons;
    QFileSystemModel* m_model = nullptr;
    // Keep the selected folder in view while the background loading of its parents moves rows around, until the
    // user takes over.
    bool m_follow_selection = false;
    bool m_moving_by_keys = false;
    // The model is about to remove the selected item (or a folder above it).
    bool m_selected_going = false;
};

} // namespace shell
