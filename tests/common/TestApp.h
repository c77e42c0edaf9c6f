#pragma once

// One application object per test process, on the offscreen platform.
#include <QApplication>

#include <cstdlib>

namespace TestApp {

inline QApplication& Instance() {
    static int argc = 1;
    static char name[] = "tolvane-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return new QApplication(argc, argv);
    }();
    return *app;
}

// A first base for fixtures that hold widgets as members: ctest runs every test in a process of
// its own, and a widget needs the application before it is built.
struct First {
    First() { Instance(); }
};

} // namespace TestApp
