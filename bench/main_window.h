#pragma once

// The frame of the benchmarks that need the program's main window: the library and catalogue
// started, no settings file (no window function, linear scale), a main window set up and shown
// on the offscreen platform unless another is asked for.

#include "fmain.h"
#include "init.h"
#include "run_benchmarks.h"
#include "umisc.h"
#include "ustrings.h"

#include <Velkit/vlk_init.h>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <functional>

// Runs the registered benchmarks after prepare(main window) has made what they use; finish
// tears it down before the main window goes. 1 when set-up or prepare fails.
inline int runWithMainWindow(int argc, char** argv, const std::function<bool(MainWnd&)>& prepare,
                             const std::function<void()>& finish = {})
{
    useOffscreenUnlessAsked();
    QApplication app(argc, argv);
    QTemporaryDir appDir;
    g_appDir = appDir.path();
    velkit::vlkInit(umisc::programHooks());
    StringsKit::instance().fill();
    initProgramResources();
    MainWnd mainWindow;
    g_mainWnd = &mainWindow;
    if (!mainWindow.setupWindow())
        return 1;
    mainWindow.show();
    if (!prepare(mainWindow))
        return 1;
    const int result = runBenchmarks(argc, argv);
    if (finish)
        finish();
    return result;
}
