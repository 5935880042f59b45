// The window started on an image named on the command line: the image selected in the folder tree, listed and
// checked as a click does; an image inside an archive listed without asking which; anything else said in the
// status bar.
#include "window_fixture.h"

#include <QProcess>
#include <QStatusBar>

#include <filesystem>

using Bytes = std::vector<std::uint8_t>;
using testing_support::ImageBuilder;
using testing_support::WindowFixture;

class OpenPathTest : public QObject
{
    Q_OBJECT
private slots:
    void an_image_argument_is_selected_listed_and_checked();
    void an_image_in_an_archive_is_listed_without_a_question();
    void other_arguments_say_why_nothing_is_listed();
};

namespace {

ImageBuilder two_files()
{
    ImageBuilder b;
    b.add_zx_file(0, 4, "code", Bytes(100, 7), 32768);
    b.add_zx_file(1, 7, "screen", Bytes(6912, 0x38), 16384);
    return b;
}

QString status_text(const WindowFixture& f)
{
    return f.window->findChild<QStatusBar*>("statusBar")->currentMessage();
}

} // namespace

void OpenPathTest::an_image_argument_is_selected_listed_and_checked()
{
    WindowFixture f;
    QDir(f.folder()).mkdir("sub");
    f.write_image("sub/GAME.mgt", two_files());
    f.open();
    // A relative name, as a shell passes it, from the folder the program was started in.
    const QString before = QDir::currentPath();
    QDir::setCurrent(f.folder());
    f.window->open_path("sub/GAME.mgt");
    QDir::setCurrent(before);

    const QString path = f.path("sub/GAME.mgt");
    QCOMPARE(f.browser()->selected_path(), path);
    QCOMPARE(QString::fromStdString(f.window->current_image_path()), path);
    QCOMPARE(QString::fromStdString(f.settings.Currentdir), f.path("sub") + "/");
    QCOMPARE(f.list()->topLevelItemCount(), 2);
    QCOMPARE(f.list()->topLevelItem(1)->text(0).trimmed(), QString("screen"));
    QVERIFY(f.pane_lines().contains("On image " + path + " no errors has been found. 2 files found"));
}

void OpenPathTest::an_image_in_an_archive_is_listed_without_a_question()
{
    WindowFixture f;
    const auto a = f.write_image("a.mgt", two_files());
    const auto b = f.write_image("b.img", ImageBuilder(image::Layout::Sequential));
    QCOMPARE(QProcess::execute("zip", {"-q", "-j", f.path("both.zip"), f.path("a.mgt"), f.path("b.img")}), 0);
    std::filesystem::remove(a);
    std::filesystem::remove(b);
    f.open();
    f.window->open_path(f.path("both.zip") + "/a.mgt");

    QCOMPARE(f.requester.asked().size(), 0);
    QCOMPARE(f.browser()->selected_path(), f.path("both.zip"));
    QCOMPARE(f.list()->topLevelItemCount(), 2);
    QVERIFY(
        f.pane_lines().contains("On image " + f.path("both.zip") + "/a.mgt no errors has been found. 2 files found"));
    QCOMPARE(QString::fromStdString(f.settings.Currentdir), f.folder() + "/");

    // A name the archive does not hold lists nothing and says so.
    f.window->open_path(f.path("both.zip") + "/c.mgt");
    QCOMPARE(f.list()->topLevelItemCount(), 0);
    QVERIFY2(status_text(f).startsWith("c.mgt: "), qPrintable(status_text(f)));
}

void OpenPathTest::other_arguments_say_why_nothing_is_listed()
{
    WindowFixture f;
    testing_support::write_file(f.path("notes.txt").toStdString(), Bytes(100, 'x'));
    f.open();

    f.window->open_path(f.path("notes.txt"));
    QCOMPARE(f.list()->topLevelItemCount(), 0);
    QCOMPARE(f.browser()->selected_path(), f.folder() + "/");
    QVERIFY2(status_text(f).startsWith("notes.txt: "), qPrintable(status_text(f)));

    f.window->open_path(f.path("gone.mgt"));
    QCOMPARE(status_text(f), f.path("gone.mgt") + ": no such file");
}

QTEST_MAIN(OpenPathTest)
#include "open_path_test.moc"
