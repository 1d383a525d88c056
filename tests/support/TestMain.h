#pragma once

#include <QObject>
#include <functional>
#include <memory>

namespace tarn::test {

// Every test class of an executable registers itself; the shared main runs them all in order of
// registration, or only the one named as the first argument.
void registerTestClass(const char* name, std::function<std::unique_ptr<QObject>()> make);

struct Registration {
    Registration(const char* name, std::function<std::unique_ptr<QObject>()> make) {
        registerTestClass(name, std::move(make));
    }
};

} // namespace tarn::test

#define TARN_TEST(Class)                                                                      \
    static const ::tarn::test::Registration registration_##Class(                             \
        #Class, [] { return std::unique_ptr<QObject>(new Class); });
