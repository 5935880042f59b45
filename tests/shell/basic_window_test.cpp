// The BASIC listing window run as the main window runs it: the listing shown read-only in a fixed-pitch font,
// selectable, the window resizable, and Escape in the text closing it.
#include "shell/basic_window.h"
#include "shell/modal.h"

#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

class BasicWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void shows_the_listing_and_escape_closes_it();
};

void BasicWindowTest::shows_the_listing_and_escape_closes_it()
{
    // run_modal drops input for the windows open before; with none open it would drop all input.
    QWidget owner;
    owner.show();
    shell::BasicWindow window("loader", {"   10 PRINT \"\\{INK 2}hi\"", "   20 STOP "}, &owner);
    QString title, text;
    bool read_only = false, fixed_pitch = false, selectable = false, resizable = false, closed_by_escape = false;
    QTimer::singleShot(0, [&] {
        auto* view = window.findChild<QPlainTextEdit*>("basicText");
        QVERIFY(view);
        title = window.windowTitle();
        text = view->toPlainText();
        read_only = view->isReadOnly();
        // Equal advances, not QFontInfo::fixedPitch(): fontconfig leaves the spacing unset for some monospaced
        // fonts (Noto Sans Mono), which Qt then reports as proportional.
        const QFontMetrics metrics(view->font());
        fixed_pitch = metrics.horizontalAdvance('i') == metrics.horizontalAdvance('W') &&
                      metrics.horizontalAdvance('.') == metrics.horizontalAdvance('M');
        selectable = view->textInteractionFlags().testFlag(Qt::TextSelectableByMouse);
        resizable = window.minimumSize() != window.maximumSize();
        QTest::keyClick(view, Qt::Key_Escape);
        closed_by_escape = !window.isVisible();
        window.close(); // ends the test should Escape have failed
    });
    shell::run_modal(window);
    QCOMPARE(title, QString("loader"));
    QCOMPARE(text, QString("   10 PRINT \"\\{INK 2}hi\"\n   20 STOP "));
    QVERIFY(read_only);
    QVERIFY(fixed_pitch);
    QVERIFY(selectable);
    QVERIFY(resizable);
    QVERIFY(closed_by_escape);
}

QTEST_MAIN(BasicWindowTest)
#include "basic_window_test.moc"
