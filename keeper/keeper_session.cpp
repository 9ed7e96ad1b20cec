#include "keeper/keeper_session.h"

#include <boost/asio/post.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <nlohmann/json.hpp>
#include <optional>

#include "keeper/history_json.h"
#include "keeper/keeper_routes.h"
#include "keeper/metrics_text.h"
#include "keeper/static_files.h"

namespace keeper {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

constexpr char kJsonType[] = "application/json";

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, std::shared_ptr<KeeperServer::Shared> shared)
      : stream_(std::move(socket)), shared_(std::move(shared)) {
    ++shared_->connections;
  }
  ~Session() { --shared_->connections; }

  void Read() {
    parser_.emplace();
    parser_->header_limit(kMaxRequestHeadBytes);
    parser_->body_limit(kMaxRequestBodyBytes);
    stream_.expires_after(kIdleTimeout);
    http::async_read(
        stream_, buffer_, *parser_,
        [self = shared_from_this()](beast::error_code error, std::size_t) { self->OnRead(error); });
  }

 private:
  void OnRead(beast::error_code error) {
    if (error == http::error::end_of_stream || error == beast::error::timeout ||
        error == asio::error::operation_aborted || error == asio::error::connection_reset ||
        error == asio::error::eof) {
      return Close();
    }
    if (error) {
      keep_alive_ = false;
      if (error == http::error::header_limit) {
        return SendText(http::status::request_header_fields_too_large);
      }
      if (error == http::error::body_limit) return SendText(http::status::payload_too_large);
      return SendText(http::status::bad_request);
    }
    const auto& request = parser_->get();
    keep_alive_ = request.keep_alive();
    version_ = request.version();
    head_ = request.method() == http::verb::head;
    const RouteDecision decision = RouteRequest(request.base(), shared_->port);
    switch (decision.route) {
      case Route::kError:
        return SendText(decision.error, decision.allow);
      case Route::kWebFile:
        return SendWebFile(decision);
      case Route::kMetrics:
        return SendMetrics();
      case Route::kHistory:
        return SendHistory(decision.since);
      case Route::kPoll:
        return PollNow();
    }
  }

  template <class Body>
  void Prepare(http::response<Body>& response, const char* content_type) {
    response.version(version_);
    response.keep_alive(keep_alive_);
    response.set(http::field::server, "dosebridge-keeper");
    response.set(http::field::content_type, content_type);
    response.set(http::field::cache_control, "no-store");
    response.set("X-Content-Type-Options", "nosniff");
  }

  void Send(std::shared_ptr<http::response<http::string_body>> response) {
    if (head_) {
      response->prepare_payload();
      response->body().clear();  // the length of the body stays announced
    } else {
      response->prepare_payload();
    }
    stream_.expires_after(kIdleTimeout);
    http::async_write(stream_, *response,
                      [self = shared_from_this(), response](beast::error_code error, std::size_t) {
                        self->AfterWrite(error);
                      });
  }

  void SendText(http::status status, const std::string& allow = {}) {
    auto response = std::make_shared<http::response<http::string_body>>();
    response->result(status);
    Prepare(*response, "text/plain; charset=utf-8");
    if (!allow.empty()) response->set(http::field::allow, allow);
    response->body() =
        std::to_string(response->result_int()) + " " + std::string(response->reason()) + "\n";
    Send(response);
  }

  void SendWebFile(const RouteDecision& decision) {
    auto file = ReadWebFile(shared_->settings.web_dir, decision.path);
    if (!file) return SendText(http::status::not_found);
    if (!decision.web_method_allowed) {
      return SendText(http::status::method_not_allowed, decision.allow);
    }
    auto response = std::make_shared<http::response<http::string_body>>();
    response->result(http::status::ok);
    Prepare(*response, file->content_type.c_str());
    response->body() = std::move(file->content);
    Send(response);
  }

  void SendMetrics() {
    std::vector<SerialSummary> summaries;
    try {
      summaries = ReadingStore::OpenForReading(shared_->settings.db_path).Summaries();
    } catch (const std::exception&) {
      // No database yet, or none to read now: the poll counters still tell.
    }
    auto response = std::make_shared<http::response<http::string_body>>();
    response->result(http::status::ok);
    Prepare(*response, kMetricsContentType);
    response->body() = MetricsText(summaries, shared_->poller.Counters());
    Send(response);
  }

  void SendHistory(std::int64_t since) {
    try {
      store_.emplace(ReadingStore::OpenForReading(shared_->settings.db_path));
      history_.emplace(store_->History(since));
    } catch (const StoreOpenError& e) {
      if (e.not_keeper_database()) return SendText(http::status::internal_server_error);
      // Nothing kept yet.
      history_.reset();
    } catch (const SqliteError&) {
      return SendText(http::status::service_unavailable);
    }
    if (!history_) {
      auto response = std::make_shared<http::response<http::string_body>>();
      response->result(http::status::ok);
      Prepare(*response, kJsonType);
      response->body() = "{\"Readings\":[]}";
      return Send(response);
    }
    // Chunked, a piece at a time: a long history never sits in memory whole.
    header_.emplace();
    header_->result(http::status::ok);
    Prepare(*header_, kJsonType);
    header_->chunked(true);
    serializer_.emplace(*header_);
    stream_.expires_after(kIdleTimeout);
    http::async_write_header(stream_, *serializer_,
                             [self = shared_from_this()](beast::error_code error, std::size_t) {
                               if (error) return self->Close();
                               self->WriteHistoryPiece();
                             });
  }

  void WriteHistoryPiece() {
    stream_.expires_after(kIdleTimeout);
    bool more = false;
    try {
      more = history_->NextPiece(&piece_);
    } catch (const SqliteError&) {
      // The client sees a truncated body: no last chunk, and the connection ends.
      return Close();
    }
    if (!more) {
      history_.reset();
      store_.reset();
      return asio::async_write(stream_, http::make_chunk_last(),
                               [self = shared_from_this()](beast::error_code error, std::size_t) {
                                 self->AfterWrite(error);
                               });
    }
    asio::async_write(stream_, http::make_chunk(asio::buffer(piece_)),
                      [self = shared_from_this()](beast::error_code error, std::size_t) {
                        if (error) return self->Close();
                        self->WriteHistoryPiece();
                      });
  }

  void PollNow() {
    auto self = shared_from_this();
    shared_->poller.RequestPoll([self](const PollResult& result) {
      // Called on the poll thread: answer on the server's.
      asio::post(self->stream_.get_executor(), [self, result] { self->SendPollResult(result); });
    });
  }

  void SendPollResult(const PollResult& result) {
    nlohmann::ordered_json body;
    body["Status"] = std::to_string(result.status);
    body["Stored"] = std::to_string(result.stored);
    body["Kept"] = std::to_string(result.kept);
    auto response = std::make_shared<http::response<http::string_body>>();
    // Readings that are not on disk yet are not safe: say so plainly.
    if (!result.store_error.empty()) body["Error"] = result.store_error;
    response->result(result.store_error.empty() ? http::status::ok
                                                : http::status::service_unavailable);
    Prepare(*response, kJsonType);
    response->body() = body.dump();
    Send(response);
  }

  void AfterWrite(beast::error_code error) {
    if (error || !keep_alive_) return Close();
    Read();
  }

  void Close() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    stream_.close();
  }

  beast::tcp_stream stream_;
  std::shared_ptr<KeeperServer::Shared> shared_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  bool keep_alive_ = false;
  bool head_ = false;
  unsigned version_ = 11;
  std::optional<ReadingStore> store_;
  std::optional<HistoryJsonWriter> history_;
  std::optional<http::response<http::empty_body>> header_;
  std::optional<http::response_serializer<http::empty_body>> serializer_;
  std::string piece_;
};

}  // namespace

void StartSession(tcp::socket socket, std::shared_ptr<KeeperServer::Shared> shared) {
  std::make_shared<Session>(std::move(socket), std::move(shared))->Read();
}

}  // namespace keeper
