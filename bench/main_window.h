#pragma once

// The frame of the benchmarks that need the program's main window: the library and catalogue
// started, no settings file (no window function, linear scale), a main window set up and shown
// on the offscreen platform unless another is asked for.

#include "fmain.h"
#include "wave_form.h"
#include "wave_stor.h"
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

// A waveform window of its own whose plot is exactly plot large, on a new record of channels x
// MaxSamples samples that fill gives its samples, shown whole; null when it could not be made.
inline TWForm* sizedPlotWindow(int channels, QSize plot, const std::function<void(TWaveStor&)>& fill)
{
    auto* f = new TWForm;
    if (!f->initEmpty())
        return nullptr;
    f->show();
    delete f->record;
    f->record = new TWaveStor(f->plotRect);
    if (!f->record->init(channels, MaxSamples))
        return nullptr;
    fill(*f->record);
    f->record->header.winWidth = MaxSamples;
    for (int i = 0; i < 4 && f->plot->size() != plot; ++i)
        f->resize(f->width() + plot.width() - f->plot->width(), f->height() + plot.height() - f->plot->height());
    f->record->setPlotRect(f->plotRect);
    f->record->relayout();
    f->repaintPlot();
    QApplication::processEvents(); // the window is exposed: repaints now reach it
    return f->plot->size() == plot && f->plot->isVisible() ? f : nullptr;
}
