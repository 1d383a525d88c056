#include "platform/linux/X11WindowTitles.h"

#include <QByteArray>
#include <QHash>

#include <chrono>
#include <cstdlib>
#include <poll.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

namespace tarn {

namespace {

// COMPOUND_TEXT as legacy clients set WM_NAME: Latin-1, with UTF-8 between "ESC % G" and
// "ESC % @"; the other character sets it can switch to are passed over as Latin-1.
QString fromCompoundText(const QByteArray& bytes) {
    QString text;
    bool inUtf8 = false;
    QByteArray utf8;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\x1b') {
            if (inUtf8) utf8 += bytes[i];
            else text += QChar(uchar(bytes[i]));
            continue;
        }
        const QByteArray sequence = bytes.mid(i + 1, 2);
        if (sequence == "%G" || sequence == "%@") {
            if (inUtf8) text += QString::fromUtf8(utf8);
            utf8.clear();
            inUtf8 = sequence == "%G";
            i += 2;
            continue;
        }
        // Any other escape: its intermediate bytes, then its final byte.
        while (i + 1 < bytes.size() && bytes[i + 1] >= 0x20 && bytes[i + 1] <= 0x2f) ++i;
        if (i + 1 < bytes.size()) ++i;
    }
    if (inUtf8) text += QString::fromUtf8(utf8);
    return text;
}


using Clock = std::chrono::steady_clock;
constexpr auto requestTimeout = std::chrono::milliseconds(250);

// One connection for one read; closed when it goes.
class Connection {
public:
    Connection() {
        // Without a display there is nothing to ask; do not let xcb guess one.
        if (qEnvironmentVariableIsEmpty("DISPLAY")) return;
        int screenNumber = 0;
        connection = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(connection)) return;
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
        for (int i = 0; i < screenNumber && screens.rem; ++i) xcb_screen_next(&screens);
        if (screens.rem) root = screens.data->root;
    }
    ~Connection() {
        if (connection) xcb_disconnect(connection);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool usable() const { return connection && !xcb_connection_has_error(connection) && root; }

    // The reply to `sequence`, or null when it does not come within the time-out.
    template <typename Reply> Reply* wait(unsigned int sequence) {
        xcb_flush(connection);
        const auto deadline = Clock::now() + requestTimeout;
        void* reply = nullptr;
        xcb_generic_error_t* error = nullptr;
        while (!xcb_poll_for_reply(connection, sequence, &reply, &error)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0 || xcb_connection_has_error(connection)) return nullptr;
            pollfd fd{xcb_get_file_descriptor(connection), POLLIN, 0};
            ::poll(&fd, 1, static_cast<int>(left.count()));
        }
        std::free(error);
        return static_cast<Reply*>(reply);
    }

    xcb_atom_t atom(const char* name) {
        const auto cookie = xcb_intern_atom(connection, 0, static_cast<uint16_t>(qstrlen(name)), name);
        auto* reply = wait<xcb_intern_atom_reply_t>(cookie.sequence);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return value;
    }

    // The bytes of a property; empty when it is missing or does not answer.
    // The property's bytes; `type` XCB_GET_PROPERTY_TYPE_ANY takes any, and `found` is told which.
    QByteArray property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type, xcb_atom_t* found = nullptr) {
        const auto cookie = xcb_get_property(connection, 0, window, name, type, 0, 1 << 16);
        auto* reply = wait<xcb_get_property_reply_t>(cookie.sequence);
        QByteArray bytes;
        if (found) *found = reply ? reply->type : xcb_atom_t(XCB_NONE);
        if (reply && reply->format != 0)
            // The length xcb reports is already in bytes, whatever the format; reading it as
            // items read past the reply (stray windows, listed twice at random).
            bytes = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                               xcb_get_property_value_length(reply));
        std::free(reply);
        return bytes;
    }

    QList<xcb_window_t> topLevelWindows() {
        const QByteArray list = property(root, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW);
        QList<xcb_window_t> windows;
        if (!list.isEmpty()) {
            const auto* ids = reinterpret_cast<const xcb_window_t*>(list.constData());
            for (qsizetype i = 0; i < list.size() / qsizetype(sizeof(xcb_window_t)); ++i) windows << ids[i];
            return windows;
        }
        // No EWMH window manager: the root's children are the top-level windows.
        auto* tree = wait<xcb_query_tree_reply_t>(xcb_query_tree(connection, root).sequence);
        if (!tree) return windows;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) windows << children[i];
        std::free(tree);
        return windows;
    }

private:
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
};

} // namespace

QStringList X11WindowTitles::windowClasses(const QString& bundleID) {
    static const QHash<QString, QStringList> classes{
        {"com.microsoft.VSCode", {"code", "code-url-handler"}},
        {"com.microsoft.VSCodeInsiders", {"code - insiders", "code-insiders"}},
        {"com.vscodium", {"vscodium", "codium"}},
        {"com.todesktop.230313mzl4w4u92", {"cursor"}},
        {"com.exafunction.windsurf", {"windsurf"}},
        {"dev.zed.Zed", {"dev.zed.zed", "zed"}},
        {"com.sublimetext.4", {"sublime_text", "subl"}},
    };
    return classes.value(bundleID);
}

bool X11WindowTitles::isTrusted() const { return Connection().usable(); }

QStringList X11WindowTitles::titles(const QStringList& bundleIDs) const {
    QStringList wanted;
    for (const QString& id : bundleIDs) wanted << windowClasses(id);
    if (wanted.isEmpty()) return {};
    Connection x;
    if (!x.usable()) return {};
    const xcb_atom_t netName = x.atom("_NET_WM_NAME");
    const xcb_atom_t utf8 = x.atom("UTF8_STRING");
    const xcb_atom_t compoundText = x.atom("COMPOUND_TEXT");

    QStringList found;
    for (xcb_window_t window : x.topLevelWindows()) {
        // WM_CLASS is "instance\0class\0"; either may name the application.
        const QList<QByteArray> names = x.property(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING).split('\0');
        const bool belongs = std::any_of(names.begin(), names.end(), [&](const QByteArray& n) {
            return !n.isEmpty() && wanted.contains(QString::fromUtf8(n).toLower());
        });
        if (!belongs) continue;
        QByteArray title = netName ? x.property(window, netName, utf8) : QByteArray();
        if (!title.isEmpty()) {
            found << QString::fromUtf8(title);
            continue;
        }
        xcb_atom_t type = XCB_NONE;
        title = x.property(window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, &type);
        if (title.isEmpty()) continue;
        if (type == utf8) found << QString::fromUtf8(title);
        else if (type == compoundText) found << fromCompoundText(title);
        else if (type == XCB_ATOM_STRING) found << QString::fromLatin1(title);
    }
    return found;
}

} // namespace tarn
