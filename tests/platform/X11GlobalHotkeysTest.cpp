// Global hotkeys against the test's own X server: a real grab, a real key press from
// xdotool, and a combination another client holds already.
#include "TestMain.h"
#include "TestPlatform.h"
#include "actions/HotkeyCenter.h"
#include "platform/linux/X11GlobalHotkeys.h"

#include <QGuiApplication>
#include <QProcess>
#include <QTest>

#include <cstdlib>
#include <xcb/xcb.h>

using namespace tarn;

class X11GlobalHotkeysTest : public QObject {
    Q_OBJECT
    // The lock state the server reports with the pointer.
    static bool numLockOn() {
        xcb_connection_t* x = xcb_connect(nullptr, nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
        xcb_query_pointer_reply_t* reply = xcb_query_pointer_reply(x, xcb_query_pointer(x, root), nullptr);
        const bool on = reply && (reply->mask & XCB_MOD_MASK_2);
        std::free(reply);
        xcb_disconnect(x);
        return on;
    }

    // True when another client can grab every key with every modifier: nobody holds any.
    static bool nothingGrabbed() {
        xcb_connection_t* x = xcb_connect(nullptr, nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
        xcb_generic_error_t* error = xcb_request_check(
            x, xcb_grab_key_checked(x, 1, root, XCB_MOD_MASK_ANY, XCB_GRAB_ANY, XCB_GRAB_MODE_ASYNC,
                                    XCB_GRAB_MODE_ASYNC));
        std::free(error);
        xcb_disconnect(x);
        return !error;
    }

private Q_SLOTS:
    void initTestCase() {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) QSKIP("needs an X server");
    }

    // Each press calls the handler of its own number only, whatever the state of NumLock.
    void press_data() {
        QTest::addColumn<bool>("numLock");
        QTest::newRow("NumLock off") << false;
        QTest::newRow("NumLock on") << true;
    }
    void press() {
        QFETCH(bool, numLock);
        if (numLockOn() != numLock) QProcess::execute("xdotool", {"key", "Num_Lock"});
        QCOMPARE(numLockOn(), numLock);
        X11GlobalHotkeys hotkeys;
        QList<int> pressed;
        hotkeys.pressed = [&](int id) { pressed << id; };
        QVERIFY(hotkeys.grab(1, 49, 0x1800)); // ctrl-opt-space
        QVERIFY(hotkeys.grab(2, 46, 0x1800)); // ctrl-opt-m
        QProcess::execute("xdotool", {"key", "ctrl+alt+space"});
        QTRY_COMPARE(pressed, QList<int>{1});
        QProcess::execute("xdotool", {"key", "ctrl+alt+m"});
        QTRY_COMPARE(pressed, (QList<int>{1, 2}));
        // Released, as when number 1 is set to no hotkey.
        hotkeys.release(1);
        QProcess::execute("xdotool", {"key", "ctrl+alt+space"});
        QTest::qWait(300);
        QCOMPARE(pressed.size(), 2);
        hotkeys.release(2);
        QVERIFY(nothingGrabbed());
    }

    // Both numbers on one key: the second is refused and the first keeps firing, also after the
    // second moves to a key of its own.
    void sameKeyForBoth() {
        struct RealKeys : test::TestPlatform {
            X11GlobalHotkeys real;
            GlobalHotkeys& hotkeys() override { return real; }
        } platform;
        {
            // The grabs alone: one client may grab a key twice, so the refusal is ours.
            X11GlobalHotkeys hotkeys;
            QList<int> pressed;
            hotkeys.pressed = [&](int id) { pressed << id; };
            QVERIFY(hotkeys.grab(1, 49, 0x1800));
            QVERIFY(!hotkeys.grab(2, 49, 0x1800));
            QVERIFY(hotkeys.grab(2, 46, 0x1800));
            QProcess::execute("xdotool", {"key", "ctrl+alt+space"});
            QTRY_COMPARE(pressed, QList<int>{1});
        }
        QTest::qWait(1100); // a second press sooner would count as the key repeating
        HotkeyCenter& center = HotkeyCenter::shared();
        QList<int> fired;
        QVERIFY(center.registerHotkey(1, Hotkeys::preset("ctrl-opt-space"), [&] { fired << 1; }));
        QVERIFY(!center.registerHotkey(2, Hotkeys::preset("ctrl-opt-space"), [&] { fired << 2; }));
        QProcess::execute("xdotool", {"key", "ctrl+alt+space"});
        QTRY_COMPARE(fired, QList<int>{1});
        QVERIFY(center.registerHotkey(2, Hotkeys::preset("ctrl-opt-m"), [&] { fired << 2; }));
        QTest::qWait(1100); // a second press sooner would count as the key repeating
        QProcess::execute("xdotool", {"key", "ctrl+alt+space"});
        QTRY_COMPARE(fired, (QList<int>{1, 1}));
        QVERIFY(center.registerHotkey(1, std::nullopt, [] {}));
        QVERIFY(center.registerHotkey(2, std::nullopt, [] {}));
        QVERIFY(nothingGrabbed());
    }

    void conflict() {
        X11GlobalHotkeys hotkeys;
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
