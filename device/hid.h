// The four hidapi calls through which all device traffic goes, and the owner
// of an open handle.
#pragma once

#include <hidapi.h>

#include <memory>

namespace device {

struct HidClose {
  void operator()(hid_device* handle) const { hid_close(handle); }
};
// An open device; closed when its owner lets go of it.
using HidHandle = std::unique_ptr<hid_device, HidClose>;

}  // namespace device
