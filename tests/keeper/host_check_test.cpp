#include "keeper/host_check.h"

#include <gtest/gtest.h>

namespace keeper {
namespace {

struct HostCase {
  const char* host;
  unsigned short port;
  bool loopback;
};

const HostCase kCases[] = {
    {"localhost:5001", 5001, true},
    {"127.0.0.1:5001", 5001, true},
    {"[::1]:5001", 5001, true},
    {"LocalHost:5001", 5001, true},
    {"localhost", 80, true},
    {"[::1]", 80, true},
    {"localhost", 5001, false},       // no port means 80
    {"localhost:5002", 5001, false},  // another server's port
    {"localhost:", 5001, false},
    {"evil.example:5001", 5001, false},
    {"localhost.evil.example:5001", 5001, false},
    {"127.0.0.2:5001", 5001, false},
    {"::1:5001", 5001, false},
    {"", 5001, false},
};

TEST(HostCheckTest, AcceptsOnlyLoopbackNamesWithOurPort) {
  for (const HostCase& c : kCases) {
    EXPECT_EQ(NamesLoopbackHost(c.host, c.port), c.loopback) << c.host << " port " << c.port;
  }
}

}  // namespace
}  // namespace keeper
