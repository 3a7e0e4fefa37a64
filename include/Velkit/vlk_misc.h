#pragma once

#include <QtGlobal>

namespace velkit {

// Milliseconds from a monotonic clock: never jumps with the wall clock and never wraps in
// practice, so timeouts can be compared by subtraction.
qint64 monotonicMs();

} // namespace velkit
