#include "TestMain.h"
#include "TestPlatform.h"
#include "actions/OpenWindows.h"
#include "model/Store.h"
#include "platform/linux/X11WindowTitles.h"

#include <QTest>
#include <cstdlib>
#include <xcb/xcb.h>

using namespace tarn;

// Real windows on the X server the suite runs under (Xvfb in CI), made the way editors make
// theirs: a WM_CLASS and a title.
class X11WindowTitlesTest : public QObject {
    Q_OBJECT
    xcb_connection_t* x = nullptr;
    xcb_screen_t* screen = nullptr;
    QList<xcb_window_t> windows;

    xcb_atom_t atom(const char* name) {
        auto* reply = xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, qstrlen(name), name), nullptr);
        const xcb_atom_t value = reply->atom;
        std::free(reply);
        return value;
    }
    void setProperty(xcb_window_t w, xcb_atom_t name, xcb_atom_t type, const QByteArray& bytes) {
        xcb_change_property(x, XCB_PROP_MODE_REPLACE, w, name, type, 8, bytes.size(), bytes.constData());
    }
    xcb_window_t window(const QByteArray& wmClass, const QByteArray& netName, const QByteArray& wmName,
                        const char* wmNameType = nullptr) {
        const xcb_window_t w = xcb_generate_id(x);
        xcb_create_window(x, XCB_COPY_FROM_PARENT, w, screen->root, 0, 0, 100, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        setProperty(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, wmClass);
        if (!netName.isEmpty()) setProperty(w, atom("_NET_WM_NAME"), atom("UTF8_STRING"), netName);
        if (!wmName.isEmpty())
            setProperty(w, XCB_ATOM_WM_NAME, wmNameType ? atom(wmNameType) : xcb_atom_t(XCB_ATOM_STRING), wmName);
        windows << w;
        return w;
    }
    void sync() { std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr)); }

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) QSKIP("needs an X server (the suite runs under xvfb-run)");
        int screenNumber = 0;
        x = xcb_connect(nullptr, &screenNumber);
        QVERIFY(!xcb_connection_has_error(x));
        screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
        window(QByteArray("code\0Code\0", 10), "\u25CF main.ts \u2014 api \u2014 Visual Studio Code", "");
        window(QByteArray("sublime_text\0Sublime_text\0", 26), "", "notes.txt - Sublime Text");
        window(QByteArray("Navigator\0firefox\0", 18), "Code - Mozilla Firefox", "");
        window(QByteArray("code\0Code\0", 10), "Welcome - second", "");
        // Legacy titles in the other types WM_NAME may have.
        window(QByteArray("sublime_text\0Sublime_text\0", 26), "", "t\xc3\xa2" "che.md - Sublime Text", "UTF8_STRING");
        window(QByteArray("sublime_text\0Sublime_text\0", 26), "", "caf\xe9.txt \x1b%G\xe2\x80\x94\x1b%@ Sublime Text",
               "COMPOUND_TEXT");
        sync();
    }

    void cleanupTestCase() {
        if (!x) return;
        for (xcb_window_t w : windows) xcb_destroy_window(x, w);
        xcb_delete_property(x, screen->root, atom("_NET_CLIENT_LIST"));
        sync();
        xcb_disconnect(x);
    }

    void readsTitlesByWindowClass_data() {
        QTest::addColumn<bool>("clientList"); // whether a window manager publishes its list
        QTest::newRow("EWMH client list") << true;
        QTest::newRow("no window manager") << false;
    }

    void readsTitlesByWindowClass() {
        QFETCH(bool, clientList);
        if (clientList) {
            xcb_change_property(x, XCB_PROP_MODE_REPLACE, screen->root, atom("_NET_CLIENT_LIST"),
                                XCB_ATOM_WINDOW, 32, windows.size(), windows.constData());
        } else {
            xcb_delete_property(x, screen->root, atom("_NET_CLIENT_LIST"));
        }
        sync();
        const X11WindowTitles titles;
        QVERIFY(titles.isTrusted());
        QStringList code = titles.titles({"com.microsoft.VSCode"});
        code.sort();
        QCOMPARE(code, QStringList({"Welcome - second", "\u25CF main.ts \u2014 api \u2014 Visual Studio Code"}));
        QStringList sublime = titles.titles({"com.sublimetext.4"});
        sublime.sort();
        QCOMPARE(sublime, QStringList({"caf\u00E9.txt \u2014 Sublime Text", "notes.txt - Sublime Text",
                                       "t\u00E2che.md - Sublime Text"}));
        QCOMPARE(titles.titles({"com.sublimetext.4", "com.microsoft.VSCode"}).size(), 5);
        QVERIFY(titles.titles({"com.todesktop.230313mzl4w4u92", "com.apple.dt.Xcode"}).isEmpty());
    }

    // The whole way from the setting to the fragments the menu marks open.
    void titlePartsFromRealWindows() {
        struct RealWindows : test::TestPlatform {
            X11WindowTitles x11;
            const WindowTitles& windowTitles() override { return x11; }
        } platform;
        xcb_change_property(x, XCB_PROP_MODE_REPLACE, screen->root, atom("_NET_CLIENT_LIST"),
                            XCB_ATOM_WINDOW, 32, windows.size(), windows.constData());
        sync();
        QVERIFY(OpenWindows::titleParts().isEmpty()); // the dots are off by default
        platform.memoryDefaults.setBool(Keys::showOpenWindows, true);
        const QSet<QString> expected{"main.ts", "api", "Visual Studio Code", "Welcome", "second",
                                     "notes.txt", "Sublime Text", "t\u00E2che.md", "caf\u00E9.txt"};
        QCOMPARE(OpenWindows::titleParts(), expected);
    }

    void noDisplayReadsNothing() {
        const QByteArray display = qgetenv("DISPLAY");
        qunsetenv("DISPLAY");
        const X11WindowTitles titles;
        QVERIFY(!titles.isTrusted());
        QVERIFY(titles.titles({"com.microsoft.VSCode"}).isEmpty());
        qputenv("DISPLAY", display);
    }
};

TARN_TEST(X11WindowTitlesTest)
#include "X11WindowTitlesTest.moc"
