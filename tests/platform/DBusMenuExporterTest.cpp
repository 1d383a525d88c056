// The exported menu as a panel reads it, over a private session bus: a second connection plays
// the panel and calls what GNOME's AppIndicator extension and KDE's panel call.
#include "TestMain.h"
#include "platform/linux/DBusMenuExporter.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

using namespace tarn;

namespace {
const QString menuPath = "/MenuBar";

// A menu made anew at every opening, as Tarn's are: its rows come from `rows`, and a row
// ending in ">" gets a submenu that makes `below` the same way.
QMenu* madeMenu(const QStringList* rows, const QStringList* below, QObject* owner) {
    auto* menu = new QMenu;
    QObject::connect(owner, &QObject::destroyed, menu, &QObject::deleteLater);
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, rows, below, owner] {
        for (QAction* old : menu->actions()) old->deleteLater();
        menu->clear();
        for (const QString& row : *rows) {
            QAction* item = menu->addAction(row.chopped(row.endsWith('>') ? 1 : 0));
            if (row.endsWith('>')) item->setMenu(madeMenu(below, below, owner));
        }
    });
    return menu;
}
} // namespace

class DBusMenuExporterTest : public QObject {
    Q_OBJECT
    QDBusConnection panel = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "panel");
    QString service;

    QDBusMessage call(const QString& method, const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(service, menuPath, "com.canonical.dbusmenu", method);
        message.setArguments(arguments);
        return panel.call(message, QDBus::BlockWithGui, 5000);
    }
    DBusMenuLayout layout(int parent = 0) {
        const QDBusMessage reply = call("GetLayout", {parent, -1, QStringList()});
        return qdbus_cast<DBusMenuLayout>(reply.arguments().value(1).value<QDBusArgument>());
    }
    // Every row below `layout` as "id label", depth first.
    static QStringList rows(const DBusMenuLayout& layout) {
        QStringList all;
        for (const DBusMenuLayout& child : layout.children)
            all << QString("%1 %2").arg(child.id).arg(child.properties.value("label").toString()) << rows(child);
        return all;
    }

public Q_SLOTS:
    void heardProperties() { ++propertiesHeard; }

private:
    int propertiesHeard = 0;

private Q_SLOTS:
    void initTestCase() {
        if (!QDBusConnection::sessionBus().isConnected()) QSKIP("needs a session bus");
        registerDBusTrayTypes();
        service = QDBusConnection::sessionBus().baseService();
    }

    // "_" marks a mnemonic in a dbusmenu label: a literal one is doubled, nothing else changes.
    void escapedLabel_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("label");
        QTest::newRow("one underscore") << "data_pipeline" << "data__pipeline";
        QTest::newRow("two") << "a__b" << "a____b";
        QTest::newRow("ampersand") << "R&D" << "R&D";
        QTest::newRow("leading") << "_x" << "__x";
    }
    void escapedLabel() {
        QFETCH(QString, title);
        QFETCH(QString, label);
        QCOMPARE(DBusMenuExporter::escapedLabel(title), label);
    }

    // Opening a menu makes two levels of submenus below it, so a panel finds their rows before
    // it shows them; opening again with nothing changed keeps every id and sends nothing; while
    // GNOME Shell shows a submenu its layout changes wait (the Shell would close it), and rows
    // that change in a submenu it does not show, or one another panel shows, come at once.
    void rowsKeepTheirIdsAndComeAhead() {
        QVERIFY(panel.registerService("org.gnome.Shell"));
        auto notShell = qScopeGuard([this] { panel.unregisterService("org.gnome.Shell"); });
        QObject owner;
        QStringList top{"Search", "code_base>", "Quit"}, below{"a_b", "deeper>"};
        QMenu* root = madeMenu(&top, &below, &owner);
        DBusMenuExporter exporter({root, {}});
        QVERIFY(exporter.exportOn(QDBusConnection::sessionBus(), menuPath));
        auto end = qScopeGuard([] { QDBusConnection::sessionBus().unregisterObject(menuPath); });
        QSignalSpy updates(&exporter, &DBusMenuExporter::LayoutUpdated);

        QCOMPARE(call("AboutToShow", {0}).type(), QDBusMessage::ReplyMessage);
        const QStringList first = rows(layout());
        QCOMPARE(first.size(), 3 + 2 + 2); // the top rows, code_base's and deeper's
        QVERIFY2(first.join('|').contains(" code__base|") && first.join('|').contains(" a__b|"), qPrintable(first.join('|')));

        updates.clear();
        call("Event", {0, "opened", QVariant::fromValue(QDBusVariant(0)), 0u});
        call("AboutToShow", {0});
        QTest::qWait(50);
        QCOMPARE(rows(layout()), first);
        QCOMPARE(updates.size(), 0);

        const int code = layout().children.at(1).id;
        call("Event", {code, "opened", QVariant::fromValue(QDBusVariant(0)), 0u});
        QCOMPARE(call("AboutToShow", {code}).arguments().value(0), QVariant(false)); // the Shell would close it
        const QStringList deeper = rows(layout());
        QCOMPARE(deeper.size(), 3 + 2 + 2 + 2);
        for (const QString& row : first) QVERIFY2(deeper.contains(row), qPrintable(row)); // the same ids
        QTest::qWait(50);
        QCOMPARE(updates.size(), 0);
        call("Event", {code, "closed", QVariant::fromValue(QDBusVariant(0)), 0u});
        QTRY_COMPARE(updates.size(), 1);

        // Rows that arrive while nobody shows the submenu.
        updates.clear();
        root->actions().at(1)->menu()->addAction("late_arrival");
        QTRY_COMPARE(updates.size(), 1);
        QCOMPARE(updates.first().at(1).toInt(), code);
        QVERIFY(rows(layout(code)).join('|').endsWith(" late__arrival"));

        // A panel other than the Shell is told to read a submenu it opens, and gets the changes
        // of one it shows at once.
        panel.unregisterService("org.gnome.Shell");
        updates.clear();
        call("Event", {code, "opened", QVariant::fromValue(QDBusVariant(0)), 0u});
        QCOMPARE(call("AboutToShow", {code}).arguments().value(0), QVariant(true));
        root->actions().at(1)->menu()->addAction("listed late");
        QTRY_COMPARE(updates.size(), 1);

        // A title that changes (a git status read) reaches the panel as a property; events come
        // in groups too.
        QVERIFY(panel.connect(service, menuPath, "com.canonical.dbusmenu", "ItemsPropertiesUpdated", this, SLOT(heardProperties())));
        root->actions().at(0)->setText("Search again");
        QTRY_COMPARE(propertiesHeard, 1);
        const DBusMenuEventList events{{code, "closed", QDBusVariant(0), 0}};
        QCOMPARE(call("EventGroup", {QVariant::fromValue(events)}).type(), QDBusMessage::ReplyMessage);
    }
};

TARN_TEST(DBusMenuExporterTest)
#include "DBusMenuExporterTest.moc"
