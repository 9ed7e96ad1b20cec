// Marks the six device functions as the only symbols our binaries export.
#pragma once

#if defined(_WIN32)
#define DOSEBRIDGE_EXPORT __declspec(dllexport)
#else
#define DOSEBRIDGE_EXPORT __attribute__((visibility("default")))
#endif
#define DOSEBRIDGE_API DOSEBRIDGE_EXPORT

#include "device/dosebridge.h"
