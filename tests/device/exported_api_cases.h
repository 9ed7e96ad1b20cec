// The six exported functions as a client program reaches them, and the cases
// that every way of reaching them must pass: linked in, or loaded with dlopen.
// The cases share one process-wide state, so they run in table order.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim.h"

struct ExportedApi {
  std::int32_t (*connect)();
  std::int32_t (*read_all)(std::int32_t*);
  std::int32_t (*get_point)(std::int32_t, std::uint8_t*, std::uint32_t*, double*, std::uint8_t*);
  char* (*serial)();
  char* (*model)();
  std::int32_t (*erase)();
};

struct ExpectedPoint {
  std::uint8_t id;
  std::uint32_t time;
  double radiation;
  std::uint8_t period_code;
};

struct ApiCase {
  const char* label;
  const char* script;  // for sim::ApplyConfig
  std::int32_t connect;
  const char* model_after_connect;
  const char* serial_before_read;
  std::int32_t read;
  std::vector<ExpectedPoint> points;
  const char* serial_after_read;
};

// Results as the C boundary gives them: 1 ok, 100 I/O error, 200 no device, 400 bad index.
inline const std::vector<ApiCase> kApiCases{
    {"no device yet", "present 0\n", 200, "0000", "00000000000000", 200, {}, "00000000000000"},
    {"two points in entries 0 and 2",
     "serial 01 23 45 67 89 ab cd\n"
     "entry 0 00 01 05 10 20 30 40 52 80 04 00 00 00 00 00\n"
     "entry 2 00 01 ff ff ff ff ff 05 f0 0a 00 00 00 00 00\n",
     1,
     "1212",
     "00000000000000",
     1,
     {{5, 0x40302010u, 8 + 2 / 10.0, 4}, {0xFF, 4294967295u, 5.0, 10}},
     "0123456789abcd"},
    {"empty log from another device",
     "serial 00 00 00 00 00 00 2a\n",
     1,
     "1212",
     "0123456789abcd",
     1,
     {},
     "0000000000002a"},
    {"identify refused keeps the texts",
     "identify 00 72 00 12 12\n",
     100,
     "1212",
     "0000000000002a",
     200,
     {},
     "0000000000002a"},
};

namespace exported_api_detail {
struct FreeText {
  void operator()(char* text) const { std::free(text); }
};
inline std::string Take(char* text) {
  const std::unique_ptr<char, FreeText> owned(text);
  return owned ? owned.get() : "(null)";
}
}  // namespace exported_api_detail

// Scripts the device, connects, reads, fetches every point and one past the
// end, checks the texts, and erases when connected. Leaves no device open.
inline void RunApiCase(const ExportedApi& api, const ApiCase& c) {
  using exported_api_detail::Take;
  SCOPED_TRACE(c.label);
  sim::Reset();
  ASSERT_EQ(sim::ApplyConfig(c.script), "");
  ASSERT_EQ(api.connect(), c.connect);
  EXPECT_EQ(Take(api.model()), c.model_after_connect);
  EXPECT_EQ(Take(api.serial()), c.serial_before_read);

  std::int32_t count = -1;
  ASSERT_EQ(api.read_all(&count), c.read);
  ASSERT_EQ(count, static_cast<std::int32_t>(c.points.size()));
  std::uint8_t id = 0, period = 0;
  std::uint32_t time = 0;
  double radiation = 0;
  for (std::int32_t i = 0; i < count; ++i) {
    const ExpectedPoint& want = c.points[static_cast<std::size_t>(i)];
    ASSERT_EQ(api.get_point(i, &id, &time, &radiation, &period), 1) << "point " << i;
    EXPECT_EQ(id, want.id) << "point " << i;
    EXPECT_EQ(time, want.time) << "point " << i;
    EXPECT_EQ(radiation, want.radiation) << "point " << i;
    EXPECT_EQ(period, want.period_code) << "point " << i;
  }
  radiation = -7.5;
  EXPECT_EQ(api.get_point(count, &id, &time, &radiation, &period), 400);
  EXPECT_EQ(radiation, -7.5);  // nothing written
  EXPECT_EQ(Take(api.serial()), c.serial_after_read);

  if (c.connect == 1) {
    ASSERT_EQ(api.connect(), 1);
    EXPECT_EQ(api.erase(), 1);
    EXPECT_EQ(api.erase(), 200);
  }
  EXPECT_EQ(sim::OpenHandles(), 0);
  EXPECT_EQ(sim::MaxOpenHandles(), c.connect == 200 ? 0 : 1);  // one handle at a time
  EXPECT_EQ(sim::StaleHandleCalls(), 0);
}
