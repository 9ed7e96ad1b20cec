// The four hidapi calls through which all device traffic goes.
#pragma once

#include <hidapi.h>
