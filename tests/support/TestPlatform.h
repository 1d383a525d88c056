#pragma once

#include "platform/Applications.h"
#include "platform/DefaultsDomain.h"
#include "platform/Desktop.h"
#include "platform/WindowTitles.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "platform/GlobalHotkeys.h"
#include "platform/StatusItem.h"
#include "platform/Volumes.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QMutex>
#include <QRecursiveMutex>
#include <QQueue>

namespace tarn::test {

// The defaults domain in memory.
class MemoryDefaults : public DefaultsDomain {
public:
    std::optional<DefaultsValue> object(const QString& key) const override;
    void set(const QString& key, const DefaultsValue& value) override;
    void remove(const QString& key) override;
    bool contains(const QString& key) const override;
    void transaction(const std::function<void()>& body) override;
    bool backUp(const QString& key) override;
    // Every change is seen, on the event loop.
    void watchChanges(std::function<void()> changed) override { watcher = std::move(changed); }

    QStringList backups; // the keys whose values were backed up, in order
    int transactions = 0; // outermost transactions run
    std::optional<QString> failWrites; // when set, writes fail with this reason

private:
    mutable QRecursiveMutex mutex;
    int depth = 0;
    bool failedInTransaction = false;
    QHash<QString, DefaultsValue> values;
    std::function<void()> watcher;
    void changed() const;
};

// Dialogs answered by the test: warnings are recorded, open panels take the next queued answer
// (cancelled when none is queued).
class TestDialogs : public Dialogs {
public:
    struct Warning {
        QString message, informative;
        bool operator==(const Warning&) const = default;
    };

    QList<Warning> warnings;
    QList<OpenPanelRequest> openPanelRequests;
    struct Question {
        QString message, informative;
        QStringList buttons;
        bool operator==(const Question&) const = default;
    };
    QList<Question> questions;
    QQueue<int> answers; // the button index each question gets; -1 (closed) when none is queued
    QQueue<std::optional<QList<QUrl>>> openPanelAnswers;
    std::function<void()> duringOpenPanel; // runs while the panel is "up"
    QList<FormRequest> forms;
    QQueue<std::optional<FormAnswer>> formAnswers; // cancelled when none is queued
    struct Pick {
        QString title;
        QList<PickerGroup> groups;
        QStringList selected;
    };
    QList<Pick> picks;
    QQueue<std::optional<QStringList>> pickAnswers; // cancelled when none is queued
    std::optional<QStringList> pickShortcuts(const QString& title, const QList<PickerGroup>& groups,
                                             const QStringList& selected) override {
        picks.append({title, groups, selected});
        return pickAnswers.isEmpty() ? std::nullopt : pickAnswers.dequeue();
    }
    std::optional<FormAnswer> form(const FormRequest& request) override {
        forms << request;
        return formAnswers.isEmpty() ? std::nullopt : formAnswers.dequeue();
    }
    int activations = 0;

    std::optional<QList<QUrl>> openPanel(const OpenPanelRequest& request) override;
    int ask(const QString& message, const QString& informative, const QStringList& buttons) override {
        questions.append({message, informative, buttons});
        return answers.isEmpty() ? -1 : answers.dequeue();
    }
    void activate() override { ++activations; }

protected:
    void showWarning(const QString& message, const QString& informative) override {
        warnings.append({message, informative});
    }
};

// Applications the test declares installed.
class FakeApplications : public Applications {
public:
    QHash<QString, ApplicationInstall> installs;
    std::optional<ApplicationInstall> find(const QString& bundleID) const override {
        const auto found = installs.constFind(bundleID);
        if (found == installs.constEnd()) return std::nullopt;
        return *found;
    }
};

// Window titles the test declares, per bundle identifier.
class FakeWindowTitles : public WindowTitles {
public:
    bool trusted = true;
    QHash<QString, QStringList> windows;
    mutable int reads = 0;
    bool isTrusted() const override { return trusted; }
    QStringList titles(const QStringList& bundleIDs) const override {
        ++reads;
        QStringList found;
        for (const QString& id : bundleIDs) found << windows.value(id);
        return found;
    }
};

// Records what it is asked to open; `failure` makes every request fail with that reason.
class FakeDesktop : public Desktop {
public:
    QList<QUrl> opened;
    QList<bool> openedInBackground; // one for each of `opened`
    struct OpenedWith {
        QList<QUrl> urls;
        ApplicationInstall application;
        bool background = false;
    };
    QList<OpenedWith> openedWith;
    QList<QPair<QString, ApplicationInstall>> terminals;
    std::optional<QString> failure;

    std::optional<QString> openURL(const QUrl& url, bool background) override {
        opened << url;
        openedInBackground << background;
        return failure;
    }
    std::optional<QString> openWith(const QList<QUrl>& urls, const ApplicationInstall& application,
                                    bool background) override {
        openedWith.append({urls, application, background});
        return failure;
    }
    std::optional<QString> openTerminal(const QString& folder, const ApplicationInstall& application) override {
        terminals.append({folder, application});
        return failure;
    }
    QList<QUrl> revealed;
    std::optional<QString> reveal(const QUrl& url) override {
        revealed << url;
        return failure;
    }
    QList<OfferedApplication> offered; // what applicationsFor answers
    QList<OfferedApplication> applicationsFor(const QUrl&) override { return offered; }
    QString fileManagerName() override { return QStringLiteral("Files"); }
    QStringList notifications; // "summary: body"
    bool notificationService = true;
    void notify(const QString& summary, const QString& body, std::function<void()> notShown) override {
        notifications << summary + ": " + body;
        if (!notificationService) notShown();
    }
    bool atLogin = false;
    bool launchesAtLogin() override { return atLogin; }
    std::optional<QString> setLaunchAtLogin(bool enabled) override {
        if (failure) return failure;
        atLogin = enabled;
        return std::nullopt;
    }
    OfferedApplication describe(const ApplicationInstall& install) override {
        return {install, QFileInfo(install.location).fileName(), QString()};
    }
};

// Volumes the test declares; ejecting fails for the mount points in `failing`.
class FakeVolumes : public Volumes {
public:
    QList<MountedVolume> volumes;
    QHash<QString, QString> failing; // mount point -> reason
    QStringList ejected;
    QMutex mutex;
    QList<MountedVolume> mounted() override { return volumes; }
    std::optional<QString> eject(const QString& mountPoint) override {
        QMutexLocker locker(&mutex);
        if (failing.contains(mountPoint)) return failing.value(mountPoint);
        ejected << mountPoint;
        return std::nullopt;
    }
};

// Hotkeys the test declares taken; grabs are recorded.
class FakeHotkeys : public GlobalHotkeys {
public:
    QSet<QPair<int, int>> taken; // (key code, modifiers) held by "another application"
    QHash<int, QPair<int, int>> grabbed;
    bool grab(int id, int keyCode, int carbonModifiers) override {
        grabbed.remove(id);
        if (taken.contains({keyCode, carbonModifiers})) return false;
        grabbed.insert(id, {keyCode, carbonModifiers});
        return true;
    }
    void release(int id) override { grabbed.remove(id); }
    bool bindable = true;
    bool canBind() const override { return bindable; }
};

// A tray icon that no tray shows unless the test says so; what it is given is kept.
class FakeStatusItem : public StatusItem {
public:
    void setIcon(const QIcon& themedIcon, const QIcon& drawnIcon) override { themed = themedIcon, drawn = drawnIcon; }
    void setToolTip(const QString& text) override { tip = text; }
    QString toolTip() const override { return tip; }
    void setMenu(const ExportedMenu& menu) override { exported = menu; }
    void show() override { shown = tray; }
    bool isShown() const override { return shown; }
    bool panelRecolours() const override { return false; }
    QRect geometry() const override { return {}; }

    bool tray = false; // whether a tray shows the icon once asked to
    bool shown = false;
    QIcon themed, drawn;
    QString tip;
    ExportedMenu exported;
};

// Installs itself as the platform for its lifetime.
class TestPlatform : public Platform {
public:
    TestPlatform() { setPlatform(this); }
    ~TestPlatform() override { setPlatform(nullptr); }

    DefaultsDomain& defaults() override { return memoryDefaults; }
    Dialogs& dialogs() override { return testDialogs; }
    const Applications& applications() override { return fakeApplications; }
    const WindowTitles& windowTitles() override { return fakeWindowTitles; }
    Desktop& desktop() override { return fakeDesktop; }
    Volumes& volumes() override { return fakeVolumes; }
    GlobalHotkeys& hotkeys() override { return fakeHotkeys; }
    StatusItem& statusItem() override { return fakeStatusItem; }

    MemoryDefaults memoryDefaults;
    TestDialogs testDialogs;
    FakeApplications fakeApplications;
    FakeWindowTitles fakeWindowTitles;
    FakeDesktop fakeDesktop;
    FakeVolumes fakeVolumes;
    FakeHotkeys fakeHotkeys;
    FakeStatusItem fakeStatusItem;
};

} // namespace tarn::test
