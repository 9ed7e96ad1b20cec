// Marks the six device functions as the only symbols our binaries export.
#pragma once

#if defined(_WIN32)
#define DOSEBRIDGE_API __declspec(dllexport)
#else
#define DOSEBRIDGE_API __attribute__((visibility("default")))
#endif

#include "device/dosebridge.h"
