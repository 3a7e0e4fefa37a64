#include "ufft.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The butterfly loops are also compiled for wider vectors, picked at run time where the system
// can (the same operations in the same order, so the same numbers).
#if defined(__x86_64__) && defined(__linux__) && (defined(__GNUC__) || defined(__clang__))
#define TAVREL_WIDE_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TAVREL_WIDE_CLONES
#endif

namespace {

constexpr double Pi = 3.14159265358979323846;

// Bit reversal of every byte value, for reversing indices a byte at a time.
struct ByteReversal
{
    quint8 table[256];
    constexpr ByteReversal()
        : table()
    {
        for (int v = 0; v < 256; ++v) {
            int r = 0;
            for (int b = 0; b < 8; ++b)
                if (v & (1 << b))
                    r |= 0x80 >> b;
            table[v] = quint8(r);
        }
    }
};
constexpr ByteReversal byteReversal;

// The low bits of x in reverse order.
inline quint32 reversedBits(quint32 x, int bits)
{
    const quint8* t = byteReversal.table;
    const quint32 r = (quint32(t[x & 0xFF]) << 24) | (quint32(t[(x >> 8) & 0xFF]) << 16) |
                      (quint32(t[(x >> 16) & 0xFF]) << 8) | t[x >> 24];
    return bits > 0 ? r >> (32 - bits) : 0;
}

// Bit-reversed order by the reversed-carry counter: each pair i < j exchanged once.
template <typename T>
void bitReverseCounting(T* a, int k)
{
    const int n = 1 << k;
    for (int i = 0, j = 0; i < n - 1; ++i) {
        if (i < j)
            std::swap(a[i], a[j]);
        int m = n >> 1;
        while (m >= 1 && j >= m) {
            j -= m;
            m >>= 1;
        }
        j += m;
    }
}

// The same permutation in tiles: an index is split into high, middle and low bits of widths
// q, k - 2q, q; reversal maps (high, mid, low) to (rev low, rev mid, rev high). For one middle
// value and its reverse, the 8 x 8 tiles are exchanged whole, so every cache line that is
// touched is used in full instead of one float of it. Eight rows keep a tile within the ways of
// the cache even though its rows lie a power of two apart.
template <typename T>
void bitReverseTiled(T* a, int k)
{
    constexpr int q = 3;
    constexpr int side = 1 << q;
    constexpr quint8 rev3[side] = {0, 4, 2, 6, 1, 5, 3, 7};
    const int midBits = k - 2 * q;
    const int high = k - q;
    for (quint32 mid = 0; mid < (quint32(1) << midBits); ++mid) {
        const quint32 rmid = reversedBits(mid, midBits);
        if (rmid < mid)
            continue; // the pair was exchanged with its first member
        const quint32 lo = mid << q;
        const quint32 rlo = rmid << q;
        for (int h = 0; h < side; ++h) {
            for (int l = 0; l < side; ++l) {
                const quint32 i = (quint32(h) << high) | lo | quint32(l);
                const quint32 j = (quint32(rev3[l]) << high) | rlo | rev3[h];
                if (mid != rmid || i < j)
                    std::swap(a[i], a[j]);
            }
        }
    }
}

template <typename T>
void bitReverse(T* a, int k)
{
    if (k < 6)
        bitReverseCounting(a, k);
    else
        bitReverseTiled(a, k);
}

// The running twiddle of the stage with half-span le: (1, 0) multiplied on by the step
// (cos pi/le, sin pi/le), sine negated forward. The angle and both step values are rounded to T.
template <typename T>
struct Twiddle
{
    Twiddle(int le, bool forward)
    {
        const T theta = T(Pi) / T(le);
        wr = T(std::cos(double(theta)));
        wi = T(std::sin(double(theta)));
        if (forward)
            wi = -wi;
    }
    // The next len values into r and i.
    void fill(T* r, T* i, int len)
    {
        for (int j = 0; j < len; ++j) {
            r[j] = ur;
            i[j] = ui;
            const T t = ur * wr - ui * wi;
            ui = ur * wi + ui * wr;
            ur = t;
        }
    }
    T wr, wi;
    T ur = 1;
    T ui = 0;
};

template <typename T>
inline void butterfly(T* re, T* im, int i, int p, T ur, T ui)
{
    const T tr = ur * re[p] - ui * im[p];
    const T ti = ur * im[p] + ui * re[p];
    re[p] = re[i] - tr;
    im[p] = im[i] - ti;
    re[i] += tr;
    im[i] += ti;
}

// The twiddles of the stages with half-spans 1, 2 and 4.
template <typename T>
struct FirstTwiddles
{
    explicit FirstTwiddles(bool forward)
    {
        Twiddle<T>(1, forward).fill(r1, i1, 1);
        Twiddle<T>(2, forward).fill(r2, i2, 2);
        Twiddle<T>(4, forward).fill(r4, i4, 4);
    }
    T r1[1], i1[1], r2[2], i2[2], r4[4], i4[4];
};

// The stages with half-spans 1, 2 and 4 together on blocks of 8 points, which they never
// leave: the same butterflies with the same twiddles as stage by stage.
template <typename T>
void firstThreeStages(T* re, T* im, int n, bool forward)
{
    const FirstTwiddles<T> w(forward);
    for (int b = 0; b < n; b += 8) {
        T* r = re + b;
        T* m = im + b;
        for (int i = 0; i < 8; i += 2)
            butterfly(r, m, i, i + 1, w.r1[0], w.i1[0]);
        for (int g = 0; g < 8; g += 4)
            for (int j = 0; j < 2; ++j)
                butterfly(r, m, g + j, g + j + 2, w.r2[j], w.i2[j]);
        for (int j = 0; j < 4; ++j)
            butterfly(r, m, j, j + 4, w.r4[j], w.i4[j]);
    }
}

#if defined(__SSE2__)
// Four butterflies side by side, each as butterfly() computes it.
inline void butterfly4(__m128& ar, __m128& ai, __m128& br, __m128& bi, __m128 ur, __m128 ui)
{
    const __m128 tr = _mm_sub_ps(_mm_mul_ps(ur, br), _mm_mul_ps(ui, bi));
    const __m128 ti = _mm_add_ps(_mm_mul_ps(ur, bi), _mm_mul_ps(ui, br));
    br = _mm_sub_ps(ar, tr);
    bi = _mm_sub_ps(ai, ti);
    ar = _mm_add_ps(ar, tr);
    ai = _mm_add_ps(ai, ti);
}

// Single precision: a block of 8 in two registers per array, the pairs of each stage brought
// side by side by shuffles.
template <>
void firstThreeStages<float>(float* re, float* im, int n, bool forward)
{
    const FirstTwiddles<float> w(forward);
    const __m128 u1r = _mm_set1_ps(w.r1[0]);
    const __m128 u1i = _mm_set1_ps(w.i1[0]);
    const __m128 u2r = _mm_setr_ps(w.r2[0], w.r2[1], w.r2[0], w.r2[1]);
    const __m128 u2i = _mm_setr_ps(w.i2[0], w.i2[1], w.i2[0], w.i2[1]);
    const __m128 u4r = _mm_loadu_ps(w.r4);
    const __m128 u4i = _mm_loadu_ps(w.i4);
    for (int b = 0; b < n; b += 8) {
        const __m128 ar = _mm_loadu_ps(re + b);
        const __m128 br = _mm_loadu_ps(re + b + 4);
        const __m128 ai = _mm_loadu_ps(im + b);
        const __m128 bi = _mm_loadu_ps(im + b + 4);
        // Half-span 1: points 0 2 4 6 with 1 3 5 7.
        __m128 er = _mm_shuffle_ps(ar, br, _MM_SHUFFLE(2, 0, 2, 0));
        __m128 ei = _mm_shuffle_ps(ai, bi, _MM_SHUFFLE(2, 0, 2, 0));
        __m128 odr = _mm_shuffle_ps(ar, br, _MM_SHUFFLE(3, 1, 3, 1));
        __m128 odi = _mm_shuffle_ps(ai, bi, _MM_SHUFFLE(3, 1, 3, 1));
        butterfly4(er, ei, odr, odi, u1r, u1i);
        const __m128 lr = _mm_unpacklo_ps(er, odr); // 0 1 2 3
        const __m128 hr = _mm_unpackhi_ps(er, odr); // 4 5 6 7
        const __m128 li = _mm_unpacklo_ps(ei, odi);
        const __m128 hi = _mm_unpackhi_ps(ei, odi);
        // Half-span 2: points 0 1 4 5 with 2 3 6 7.
        __m128 pr = _mm_shuffle_ps(lr, hr, _MM_SHUFFLE(1, 0, 1, 0));
        __m128 pi = _mm_shuffle_ps(li, hi, _MM_SHUFFLE(1, 0, 1, 0));
        __m128 qr = _mm_shuffle_ps(lr, hr, _MM_SHUFFLE(3, 2, 3, 2));
        __m128 qi = _mm_shuffle_ps(li, hi, _MM_SHUFFLE(3, 2, 3, 2));
        butterfly4(pr, pi, qr, qi, u2r, u2i);
        // Half-span 4: points 0 1 2 3 with 4 5 6 7.
        __m128 loR = _mm_shuffle_ps(pr, qr, _MM_SHUFFLE(1, 0, 1, 0));
        __m128 loI = _mm_shuffle_ps(pi, qi, _MM_SHUFFLE(1, 0, 1, 0));
        __m128 hiR = _mm_shuffle_ps(pr, qr, _MM_SHUFFLE(3, 2, 3, 2));
        __m128 hiI = _mm_shuffle_ps(pi, qi, _MM_SHUFFLE(3, 2, 3, 2));
        butterfly4(loR, loI, hiR, hiI, u4r, u4i);
        _mm_storeu_ps(re + b, loR);
        _mm_storeu_ps(re + b + 4, hiR);
        _mm_storeu_ps(im + b, loI);
        _mm_storeu_ps(im + b + 4, hiI);
    }
}
#endif

// Twiddles of a stage are taken this many at a time into a table on the stack.
constexpr int TwiddleTile = 256;

// The butterflies of offsets j0 ... j0 + len - 1 of the stage with half-span le in every block,
// the offsets in the inner loop, so that it runs over contiguous memory.
template <typename T>
inline void tileButterflies(T* re, T* im, int n, int le, int j0, int len, const T* __restrict twr,
                            const T* __restrict twi)
{
    for (int b = j0; b < n; b += 2 * le) {
        T* __restrict ar = re + b;
        T* __restrict ai = im + b;
        T* __restrict br = re + b + le;
        T* __restrict bi = im + b + le;
        for (int j = 0; j < len; ++j) {
            const T tr = twr[j] * br[j] - twi[j] * bi[j];
            const T ti = twr[j] * bi[j] + twi[j] * br[j];
            br[j] = ar[j] - tr;
            bi[j] = ai[j] - ti;
            ar[j] += tr;
            ai[j] += ti;
        }
    }
}

TAVREL_WIDE_CLONES
void tileButterfliesFloat(float* re, float* im, int n, int le, int j0, int len, const float* __restrict twr,
                          const float* __restrict twi)
{
    tileButterflies(re, im, n, le, j0, len, twr, twi);
}

inline void tileButterfliesOf(float* re, float* im, int n, int le, int j0, int len, const float* twr,
                              const float* twi)
{
    tileButterfliesFloat(re, im, n, le, j0, len, twr, twi);
}

inline void tileButterfliesOf(double* re, double* im, int n, int le, int j0, int len, const double* twr,
                              const double* twi)
{
    tileButterflies(re, im, n, le, j0, len, twr, twi);
}

// One stage with half-span le. The running twiddle is filled into the table a tile at a time,
// in the order of the recurrence, and each tile is applied to every block; each butterfly sees
// the same twiddle as offset by offset, so the numbers do not change.
template <typename T>
void stage(T* re, T* im, int n, int le, bool forward)
{
    Twiddle<T> w(le, forward);
    T twr[TwiddleTile];
    T twi[TwiddleTile];
    for (int j0 = 0; j0 < le; j0 += TwiddleTile) {
        const int len = std::min(TwiddleTile, le - j0);
        w.fill(twr, twi, len);
        tileButterfliesOf(re, im, n, le, j0, len, twr, twi);
    }
}

// Bit reversal and all k stages; step runs after the reversal and after each stage.
template <typename T, typename Step>
void transform(bool forward, int k, T* re, T* im, Step step)
{
    const int n = 1 << k;
    bitReverse(re, k);
    bitReverse(im, k);
    step();
    int le = 1;
    if (k >= 3) {
        firstThreeStages(re, im, n, forward);
        for (; le < 8; le <<= 1)
            step();
    }
    for (; le < n; le <<= 1) {
        stage(re, im, n, le, forward);
        step();
    }
}

} // namespace

void progressStep(QProgressBar* progress)
{
    if (progress)
        progress->setValue(progress->value() + 1);
    QCoreApplication::processEvents();
}

int fft(bool forward, int k, float* re, float* im, QProgressBar* progress)
{
    if (!re || !im || k < 0 || k > MaxFFTLog2)
        return -1;
    transform(forward, k, re, im, [progress] { progressStep(progress); });
    if (forward) {
        const int n = 1 << k;
        const float scale = 2.0f / float(n);
        for (int i = 0; i < n; ++i) {
            re[i] *= scale;
            im[i] *= scale;
        }
        progressStep(progress);
    }
    return 0;
}

int directFFT(float* re, float* im, int k, QProgressBar* progress)
{
    return fft(true, k, re, im, progress);
}

int reverseFFT(float* re, float* im, int k, QProgressBar* progress)
{
    return fft(false, k, re, im, progress);
}

void forwardFFTDouble(double* re, double* im, int k)
{
    if (!re || !im || k < 0 || k > MaxFFTLog2)
        return;
    transform(true, k, re, im, [] {});
}
