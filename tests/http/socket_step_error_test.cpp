#include "http/socket_step_error.h"

#include <gtest/gtest.h>

#include <boost/system/error_code.hpp>

namespace http::server {
namespace {

TEST(SocketStepError, TextIsStepColonSystemMessage) {
  const auto in_use = boost::system::errc::make_error_code(boost::system::errc::address_in_use);
  EXPECT_STREQ(socket_step_error("bind", in_use).what(), "bind: Address already in use");
  EXPECT_THROW(throw_on_step_error(in_use, "listen"), socket_step_error);
  EXPECT_NO_THROW(throw_on_step_error({}, "listen"));
}

}  // namespace
}  // namespace http::server
