#pragma once

// The samples the drawing benchmarks share: on every channel of a maximal record a sine of its
// own period with a little noise, the channel shown and its cursor a third of the way in.

#include "wave_stor.h"

#include <cmath>

inline void fillNoisySines(TWaveStor& rec)
{
    quint32 noise = 12345;
    for (int ch = 0; ch < rec.channelCount(); ++ch) {
        TWaveView* v = rec.channel(ch);
        for (int p = 0; p < v->count;) {
            qint8* block = nullptr;
            const int n = v->chunkAt(p, &block);
            for (int k = 0; k < n; ++k) {
                noise = noise * 1664525u + 1013904223u;
                const double s = 90.0 * std::sin((p + k) * (0.0005 + 0.0003 * ch));
                block[k] = qint8(std::lround(s) + int((noise >> 28) & 15) - 8);
            }
            p += n;
        }
        v->visible = true;
        v->cursor = v->count / 3 + ch * 1000;
    }
}
