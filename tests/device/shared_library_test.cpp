// Loads libdosebridge.so with dlopen, as a client program would, with the
// simulated dosimeter loaded globally in front of hidapi.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using ConnectFn = int32_t (*)();
using ReadAllFn = int32_t (*)(int32_t*);
using GetPointFn = int32_t (*)(int32_t, uint8_t*, uint32_t*, double*, uint8_t*);
using TextFn = char* (*)();
using EraseFn = int32_t (*)();

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

template <typename Fn>
Fn Symbol(void* library, const char* name) {
  void* address = dlsym(library, name);
  EXPECT_NE(address, nullptr) << name << ": " << dlerror();
  return reinterpret_cast<Fn>(address);
}

TEST(SharedLibrary, DrivesAllSixFunctionsAgainstSimulatedDevice) {
  const std::string dir = ::testing::TempDir();
  const std::string config = dir + "/dlopen_sim.conf";
  const std::string record = dir + "/dlopen_sim.record";
  std::remove(record.c_str());
  std::ofstream(config) << "serial 01 23 45 67 89 ab cd\n"
                        << "entry 0 00 01 05 10 20 30 40 52 80 04 00 00 00 00 00\n"
                        << "entry 2 00 01 06 00 00 00 00 05 f0 0a 00 00 00 00 00\n"
                        << "record " << record << "\n";
  setenv("DOSEBRIDGE_SIM", config.c_str(), 1);

  void* sim = dlopen(SIM_LIBRARY, RTLD_NOW | RTLD_GLOBAL);
  ASSERT_NE(sim, nullptr) << dlerror();
  void* library = dlopen(DOSEBRIDGE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();

  auto connect = Symbol<ConnectFn>(library, "UsbConnect");
  auto read_all = Symbol<ReadAllFn>(library, "UsbReadAll");
  auto get_point = Symbol<GetPointFn>(library, "GetPoint");
  auto serial = Symbol<TextFn>(library, "GetDeviceSerialNumber");
  auto model = Symbol<TextFn>(library, "GetDeviceModel");
  auto erase = Symbol<EraseFn>(library, "UsbErase");
  ASSERT_TRUE(connect && read_all && get_point && serial && model && erase);

  ASSERT_EQ(connect(), 1);
  int32_t count = -1;
  ASSERT_EQ(read_all(&count), 1);
  ASSERT_EQ(count, 2);
  uint8_t id = 0, period = 0;
  uint32_t time = 0;
  double radiation = 0;
  ASSERT_EQ(get_point(0, &id, &time, &radiation, &period), 1);
  EXPECT_EQ(id, 5);
  EXPECT_EQ(time, 0x40302010u);
  EXPECT_EQ(radiation, 8 + 2 / 10.0);
  EXPECT_EQ(period, 4);
  ASSERT_EQ(get_point(1, &id, &time, &radiation, &period), 1);
  EXPECT_EQ(radiation, 5.0);
  EXPECT_EQ(period, 10);
  EXPECT_EQ(get_point(2, &id, &time, &radiation, &period), 400);

  char* serial_text = serial();
  char* model_text = model();
  EXPECT_STREQ(serial_text, "0123456789abcd");
  EXPECT_STREQ(model_text, "1212");
  std::free(serial_text);
  std::free(model_text);

  ASSERT_EQ(connect(), 1);
  EXPECT_EQ(erase(), 1);
  EXPECT_EQ(erase(), 200);

  // Every handle that was opened was closed again.
  const std::string trail = ReadFile(record);
  EXPECT_NE(trail.find("open 1"), std::string::npos) << trail;
  EXPECT_EQ(trail.find("open 2"), std::string::npos) << trail;
  EXPECT_EQ(trail.substr(trail.rfind("close")), "close 0\n");

  dlclose(library);
  unsetenv("DOSEBRIDGE_SIM");
}

}  // namespace
