#pragma once

// The fast Fourier transform of the spectrum commands: radix 2, in place, on split arrays of
// single-precision real and imaginary parts.

class QProgressBar;

// Largest exponent the transforms accept (2^30 points).
constexpr int MaxFFTLog2 = 30;

// In-place transform of n = 2^k points. Forward: X_m = (2/n) * sum x_j e^(-2 pi i m j / n);
// inverse: x_j = sum X_m e^(+2 pi i m j / n), not scaled, so forward then inverse gives twice
// the input. Between stages (never inside one) the bar advances by one and pending events are
// served: k + 2 steps forward, k + 1 inverse. The twiddles of a stage come from one cosine and
// one sine by recurrence in single precision. Nothing is allocated.
// Returns 0; -1 without touching anything when an array is null or k is outside 0 ... MaxFFTLog2.
int fft(bool forward, int k, float* re, float* im, QProgressBar* progress);
int directFFT(float* re, float* im, int k, QProgressBar* progress);
int reverseFFT(float* re, float* im, int k, QProgressBar* progress);

// The same forward transform in double precision, not scaled and without progress; for the
// short spectra of the preview (k within 0 ... MaxFFTLog2, else nothing is done).
void forwardFFTDouble(double* re, double* im, int k);

// One step of a long transform: the bar (when given) advances by one, then pending events are
// served.
void progressStep(QProgressBar* progress);
