#pragma once

// Common definitions shared by every part of the support library.

#define VLK_DISABLE_COPY(Class)                                                                              \
    Class(const Class&) = delete;                                                                            \
    Class& operator=(const Class&) = delete

#if defined(_WIN32)
#define VLK_OS_WINDOWS 1
#else
#define VLK_OS_WINDOWS 0
#endif
