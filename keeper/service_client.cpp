#include "keeper/service_client.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>
#include <mutex>

#include "keeper/readout_parser.h"

namespace keeper {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

struct ServiceClient::State {
  std::mutex mutex;
  // One context for all fetches: a fetch that ends by itself leaves no work
  // in it, and after Cancel there is no further fetch.
  asio::io_context io;
  bool cancelled = false;
};

std::shared_ptr<ServiceClient::State> ServiceClient::MakeState() {
  return std::make_shared<State>();
}

void ServiceClient::Cancel() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->cancelled = true;
  state_->io.stop();
}

ServiceAnswer ServiceClient::FetchReadout() {
  asio::io_context& io = state_->io;
  ServiceAnswer answer;
  tcp::resolver resolver(io);
  beast::tcp_stream stream(io);
  beast::flat_buffer buffer;
  http::request<http::empty_body> request(http::verb::get,
                                          std::string("/?callback=") + kReadoutCallback, 11);
  request.set(http::field::host, UrlHost(service_.host) + ":" + service_.port);
  http::response_parser<http::string_body> parser;
  parser.body_limit(kMaxReadoutBytes);
  bool done = false;
  auto fail = [&](const char* step, beast::error_code error) {
    answer.error = std::string(step) + ": " + error.message();
    done = true;
  };
  stream.expires_after(kServiceTimeout);
  resolver.async_resolve(
      service_.host, service_.port,
      [&](beast::error_code error, tcp::resolver::results_type found) {
        if (error) return fail("resolve", error);
        stream.async_connect(found, [&](beast::error_code error, const tcp::endpoint&) {
          if (error) return fail("connect", error);
          http::async_write(stream, request, [&](beast::error_code error, std::size_t) {
            if (error) return fail("send", error);
            http::async_read(stream, buffer, parser, [&](beast::error_code error, std::size_t) {
              if (error) return fail("read", error);
              if (parser.get().result() != http::status::ok) {
                answer.error = "HTTP status " + std::to_string(parser.get().result_int());
              } else {
                answer.body = parser.release().body();
              }
              done = true;
            });
          });
        });
      });
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->cancelled) return ServiceAnswer{"", "stopped"};
    io.restart();
  }
  io.run();
  if (!done) answer.error = "stopped";
  beast::error_code ignored;
  stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
  return answer;
}

}  // namespace keeper
