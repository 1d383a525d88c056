// Global hotkeys against the test's own X server: a real grab, a real key press from
// xdotool, and a combination another client holds already.
#include "TestMain.h"
#include "platform/linux/X11GlobalHotkeys.h"

#include <QGuiApplication>
#include <QProcess>
#include <QTest>

#include <cstdlib>
#include <xcb/xcb.h>

using namespace tarn;

class X11GlobalHotkeysTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) QSKIP("needs an X server");
    }

    void pressAndConflict() {
        X11GlobalHotkeys hotkeys;
        QList<int> pressed;
        hotkeys.pressed = [&](int id) { pressed << id; };
        QVERIFY(hotkeys.grab(2, 46, 0x1800)); // ctrl-opt-m
        QProcess::execute("xdotool", {"key", "ctrl+alt+m"});
        QTRY_COMPARE(pressed, QList<int>{2});
        QProcess::execute("numlockx", {"on"}); // when installed: the grab holds with NumLock on too
        QProcess::execute("xdotool", {"key", "ctrl+alt+m"});
        QTRY_COMPARE(pressed.size(), 2);
        hotkeys.release(2);
        QProcess::execute("xdotool", {"key", "ctrl+alt+m"});
        QTest::qWait(200);
        QCOMPARE(pressed.size(), 2);

        // Another client holds ctrl-opt-u: our grab is refused, and nothing of it is kept.
        xcb_connection_t* other = xcb_connect(nullptr, nullptr);
        QVERIFY(!xcb_connection_has_error(other));
        xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
        QVERIFY(hotkeys.grab(3, 32, 0x1800));
        hotkeys.release(3);
        xcb_grab_key(other, 1, root, XCB_MOD_MASK_ANY, XCB_GRAB_ANY, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_flush(other);
        std::free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));
        QVERIFY(!hotkeys.grab(3, 32, 0x1800));
        xcb_disconnect(other);
    }
};

TARN_TEST(X11GlobalHotkeysTest)
#include "X11GlobalHotkeysTest.moc"
