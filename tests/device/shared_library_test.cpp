// Loads libdosebridge.so with dlopen, as a client program would, with the
// simulated dosimeter linked in front of hidapi.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "tests/device/exported_api_cases.h"

namespace {

template <typename Fn>
void Resolve(void* library, const char* name, Fn& fn) {
  void* address = dlsym(library, name);
  EXPECT_NE(address, nullptr) << name << ": " << dlerror();
  fn = reinterpret_cast<Fn>(address);
}

TEST(SharedLibrary, LoadedWithDlopenPassesEveryCaseInOrder) {
  void* library = dlopen(DOSEBRIDGE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  ExportedApi api{};
  Resolve(library, "UsbConnect", api.connect);
  Resolve(library, "UsbReadAll", api.read_all);
  Resolve(library, "GetPoint", api.get_point);
  Resolve(library, "GetDeviceSerialNumber", api.serial);
  Resolve(library, "GetDeviceModel", api.model);
  Resolve(library, "UsbErase", api.erase);
  ASSERT_TRUE(api.connect && api.read_all && api.get_point && api.serial && api.model && api.erase);
  for (const ApiCase& c : kApiCases) RunApiCase(api, c);
  dlclose(library);
}

}  // namespace
