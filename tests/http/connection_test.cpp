// A connection that is stopped while a successful read completion is already
// queued must not act on that read.
#include "http/connection.h"

#include <gtest/gtest.h>

#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <functional>
#include <thread>

#include "http/connection_manager.h"
#include "http/request_handler.h"
#include "sim/sim.h"

namespace http::server {
namespace {

using boost::asio::ip::tcp;
using namespace std::chrono_literals;

const connection_limits kLimits{1024, 30s, 2s};
const std::string kEraseHead = "GET /Erase?cb=f HTTP/1.0\r\n\r\n";

struct StopCase {
  const char* label;
  std::function<void(connection_manager&, const connection_ptr&)> stop;
};

void PrintTo(const StopCase& c, std::ostream* os) {
  *os << c.label;
}

class StoppedConnection : public ::testing::TestWithParam<StopCase> {};

TEST_P(StoppedConnection, QueuedReadOfAWholeHeadServesNothing) {
  sim::Reset();
  boost::asio::io_context loop;
  tcp::acceptor acceptor(loop, tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0));
  tcp::socket client(loop);
  client.connect(acceptor.local_endpoint());
  connection_manager manager;
  request_handler handler;
  const auto c = std::make_shared<connection>(loop, manager, handler, kLimits);
  acceptor.accept(c->socket());
  boost::asio::write(client, boost::asio::buffer(kEraseHead));
  while (c->socket().available() < kEraseHead.size()) std::this_thread::sleep_for(1ms);

  // The head is there, so the first read completes at once and its completion
  // waits in the queue; the stop comes before the loop runs it.
  manager.start(c);
  GetParam().stop(manager, c);
  loop.run();

  EXPECT_EQ(sim::OpenCalls(), 0) << "the device was driven";
  boost::system::error_code error;
  char byte = 0;
  EXPECT_EQ(boost::asio::read(client, boost::asio::buffer(&byte, 1), error), 0u);
  EXPECT_EQ(error, boost::asio::error::eof);
}

INSTANTIATE_TEST_SUITE_P(
    Stops, StoppedConnection,
    ::testing::Values(
        StopCase{"One", [](connection_manager& m, const connection_ptr& c) { m.stop(c); }},
        StopCase{"All", [](connection_manager& m, const connection_ptr&) { m.stop_all(); }},
        StopCase{"OldestWaiting",
                 [](connection_manager& m, const connection_ptr&) { m.stop_oldest_waiting(); }}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace http::server
