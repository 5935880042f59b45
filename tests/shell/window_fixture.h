// A main window over a temporary folder of generated images, with scripted platform services.
#pragma once

#include "fakes.h"
#include "image/extract.h"
#include "inspect/screen.h"
#include "shell/main_window.h"
#include "support/image_builder.h"

#include <QApplication>
#include <QDir>
#include <QFileSystemModel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

namespace testing_support {

// Runs an action on the first pop-up menu that opens while it lives (menus run their own event loop, so the test
// has to act from a timer).
class PopupWatcher
{
public:
    explicit PopupWatcher(std::function<void(QMenu*)> action) : m_action(std::move(action))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                m_timer.stop();
                m_action(menu);
            }
        });
        m_timer.start(10);
    }

private:
    QTimer m_timer;
    std::function<void(QMenu*)> m_action;
};

class WindowFixture
{
public:
    WindowFixture()
    {
        settings.Currentdir = folder().toStdString() + "/";
        settings.savefile = folder().toStdString() + "/disc.tap";
        system.trash_folder = trash.path();
    }

    // An answer scripted but never asked for fails the test, as an unscripted question does.
    ~WindowFixture()
    {
        if (!requester.exhausted())
            QTest::qFail("a scripted answer was never asked for", __FILE__, __LINE__);
    }
    WindowFixture(const WindowFixture&) = delete;
    WindowFixture& operator=(const WindowFixture&) = delete;

    QString folder() const { return dir.path(); }
    QString path(const QString& name) const { return dir.filePath(name); }
    std::string settings_path() const { return path("kestrel.ini").toStdString(); }

    // Creates and shows the window, and waits until the browser has read the folder.
    shell::MainWindow& open()
    {
        window = std::make_unique<shell::MainWindow>(settings, settings_path(),
                                                     shell::Services{requester, runner, system}, pixels);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("the main window was not exposed");
        wait_for_browser();
        return *window;
    }

    // Waits until the browser lists every folder and image of the test folder (it reads folders in the background).
    void wait_for_browser() const
    {
        const QDir test_dir(folder());
        const auto expected = test_dir
                                  .entryList(QStringList{"*.mgt", "*.dsk", "*.img", "*.sad", "*.gz", "*.zip"},
                                             QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot)
                                  .size();
        QFileSystemModel* model = browser()->file_model();
        if (!QTest::qWaitFor([&] { return model->rowCount(model->index(folder())) == expected; }, 5000))
            qWarning("the browser did not list the test folder");
    }

    shell::FileBrowser* browser() const { return window->findChild<shell::FileBrowser*>("fileBrowser"); }
    QTreeWidget* list() const { return window->findChild<QTreeWidget*>("mainList"); }
    QPlainTextEdit* pane() const { return window->findChild<QPlainTextEdit*>("messagePane"); }
    QStringList pane_lines() const { return pane()->toPlainText().split('\n'); }

    // Selects an item of the browser as a user's click would, in the browser as the user sees it. The model sorts
    // the rows it learns of late (another program's files coming and going in /tmp) a moment afterwards, and keys
    // pressed before then move through rows out of order: that moment is taken first.
    void pick(const QString& item_path)
    {
        QFileSystemModel* model = browser()->file_model();
        model->sort(0, Qt::AscendingOrder);
        browser()->setCurrentIndex(model->index(item_path));
    }

    std::filesystem::path write_image(const QString& name, const ImageBuilder& builder)
    {
        return builder.write(path(name).toStdString());
    }

    QTemporaryDir dir;
    // The desktop's trash, outside the folder the browser shows.
    QTemporaryDir trash;
    common::Settings settings;
    ScriptedRequester requester;
    FakeSystemInfo system;
    FakeProcessRunner runner{system.clock};
    inspect::PixelTable pixels = inspect::build_pixel_table();
    std::unique_ptr<shell::MainWindow> window;
};

// Runs an action on the sub-window named `name` once it is shown (after any menu has closed), then closes it.
class WhenShown
{
public:
    WhenShown(const WindowFixture& f, const char* name, std::function<void(QWidget&)> act)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, &f, name, act] {
            if (auto* window = f.window->findChild<QWidget*>(name); window && window->isVisible()) {
                m_timer.stop();
                act(*window);
                window->close();
            }
        });
        m_timer.start(10);
    }

private:
    QTimer m_timer;
};

} // namespace testing_support
