#pragma once

// Revision of the support library's own interface; raised when a public header changes in a
// way that callers must notice.
#define VLK_INTERFACE_REVISION 1
