#pragma once

#include <Velkit/vlk_errors.h>
#include <Velkit/vlk_fault.h>

// Condition code of check n within its function: 0xA402 | (n << 8). Different n can give one
// code (the OR shares bits with 0xA4); the code names the check together with the line.
constexpr quint16 checkCode(int n)
{
    return quint16(0xA402 | ((n & 0xFF) << 8));
}

// Reports a failed check of this source file as a critical error.
#define REPORT_CRITICAL(condition) ::velkit::reportCritical(VLK_ERROR_CODE(condition))
