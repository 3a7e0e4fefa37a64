#pragma once

#define VLK_VERSION_MAJOR 1
#define VLK_VERSION_MINOR 0
#define VLK_VERSION_STRING "1.0"
