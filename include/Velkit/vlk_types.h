#pragma once

#include <QtGlobal>

#include <memory>

namespace velkit {

using uint16 = quint16;
using uint32 = quint32;

// A failure code: condition (bits 0-15), source line (16-31), source-file index (32-47) and
// system error (48-63, crash codes only).
using ErrorCode = quint64;

// Returned by a before-box hook and handed back to the matching after-box hook; the library
// keeps it alive while the box is shown.
using HookToken = std::shared_ptr<void>;

} // namespace velkit
