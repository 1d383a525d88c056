#pragma once

#include "platform/Applications.h"
#include "platform/DefaultsDomain.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

#include <QHash>
#include <QMutex>
#include <QQueue>

namespace tarn::test {

// The defaults domain in memory.
class MemoryDefaults : public DefaultsDomain {
public:
    std::optional<DefaultsValue> object(const QString& key) const override;
    void set(const QString& key, const DefaultsValue& value) override;
    void remove(const QString& key) override;

private:
    mutable QMutex mutex;
    QHash<QString, DefaultsValue> values;
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
    QQueue<std::optional<QList<QUrl>>> openPanelAnswers;
    int activations = 0;

    std::optional<QList<QUrl>> openPanel(const OpenPanelRequest& request) override;
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

// Installs itself as the platform for its lifetime.
class TestPlatform : public Platform {
public:
    TestPlatform() { setPlatform(this); }
    ~TestPlatform() override { setPlatform(nullptr); }

    DefaultsDomain& defaults() override { return memoryDefaults; }
    Dialogs& dialogs() override { return testDialogs; }
    const Applications& applications() override { return fakeApplications; }

    MemoryDefaults memoryDefaults;
    TestDialogs testDialogs;
    FakeApplications fakeApplications;
};

} // namespace tarn::test
