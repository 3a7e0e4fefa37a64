// libFuzzer target: a raw file opened in a waveform window and drawn at several zoom levels.

#include "rawfile_entry.h"

#include "wave_form.h"

#include <QApplication>

#include <sanitizer/lsan_interface.h>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    // The font database sets itself up on first use and keeps what it allocates for good;
    // done here, out of sight of the leak checker, it is not charged to an input.
    __lsan_disable();
    {
        TWForm warmUp;
        if (warmUp.initEmpty())
            warmUp.plot->grab();
    }
    __lsan_enable();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzWaveWindowInput(data, size);
    return 0;
}
