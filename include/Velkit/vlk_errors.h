#pragma once

#include "vlk_types.h"

#include <QString>

namespace velkit {

// Key of a source path: separators made native, doubled separators collapsed, the last
// three components kept. Both '/' and '\' count as separators.
QString sourceFileKey(const QString& path);

// Puts entries 1 ... count of a generated file list into the source-file table, entry i
// under its key with index i (an existing key is overwritten).
void registerSourceFiles(const char* const* list, int count);

// Index of a source file in the table; 0 when the table is missing or empty, or when the
// key is not in it.
int sourceFileIndex(const char* sourcePath);

// Composes an ordinary failure code. The low 32 bits are formed as a signed value and
// widened with sign, so a line above 32767 spills into the upper half.
inline ErrorCode composeErrorCode(quint16 condition, const char* sourcePath, int line)
{
    const qint32 low = static_cast<qint32>((static_cast<quint32>(line) << 16) | condition);
    return static_cast<quint64>(static_cast<qint64>(low)) |
           (static_cast<quint64>(static_cast<quint32>(sourceFileIndex(sourcePath))) << 32);
}

// Composes the code of a crash from a Windows exception code. Pure arithmetic, safe inside a
// signal handler. sysErrno outside 0 ... 0xFFFE becomes 0xFFFF.
inline ErrorCode composeCrashCode(quint32 exceptionCode, int line, int sysErrno, int fileIndex)
{
    const quint32 lowBits = (exceptionCode + 0x40000000u) | (static_cast<quint32>(line) << 16);
    const quint64 sys = (sysErrno >= 0 && sysErrno <= 0xFFFE) ? static_cast<quint64>(sysErrno) : 0xFFFFu;
    return static_cast<quint64>(static_cast<qint64>(static_cast<qint32>(lowBits))) |
           (static_cast<quint64>(static_cast<quint32>(fileIndex)) << 32) | (sys << 48);
}

// Lower-case hexadecimal without leading zeros; a one-digit result gets a zero in front.
QString errorCodeToHex(ErrorCode code);

} // namespace velkit

// The code of a failed check at the current place of the current source file.
#define VLK_ERROR_CODE(condition) ::velkit::composeErrorCode((condition), __FILE__, __LINE__)
