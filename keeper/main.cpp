// dosebridge-keeper: keeps every reading of the dosebridge service in SQLite,
// and serves the history, the viewer and metrics.
#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>

#include "keeper/csv_export.h"
#include "keeper/default_paths.h"
#include "keeper/keeper_server.h"
#include "keeper/options.h"
#include "keeper/poller.h"
#include "keeper/reading_store.h"
#include "keeper/service_client.h"

namespace {

constexpr int kExitBadOptions = 2;
constexpr int kExitFailure = 1;

int Export(const keeper::KeeperOptions& options, const std::string& db_path) {
  std::error_code missing;
  if (!std::filesystem::exists(db_path, missing) && !missing) {
    // Before the first poll nothing is kept: an empty history, and no file made.
    std::fprintf(stderr, "dosebridge-keeper: nothing kept yet (%s does not exist)\n",
                 db_path.c_str());
    keeper::WriteCsvHeader(std::cout);
    std::cout.flush();
    return std::cout ? 0 : kExitFailure;
  }
  try {
    keeper::ReadingStore store = keeper::ReadingStore::OpenForReading(db_path);
    store.CheckIntact();  // rather no CSV than one that stops halfway
    keeper::HistoryCursor cursor = store.History(options.since);
    std::ios::sync_with_stdio(false);
    keeper::WriteCsv(cursor, std::cout);
    std::cout.flush();
    if (!std::cout) {
      std::fprintf(stderr, "dosebridge-keeper: cannot write the CSV\n");
      return kExitFailure;
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "dosebridge-keeper: %s\n", e.what());
    return kExitFailure;
  }
}

int Keep(const keeper::KeeperOptions& options, const std::string& db_path) {
  std::unique_ptr<keeper::ReadingStore> store;
  try {
    store = std::make_unique<keeper::ReadingStore>(keeper::ReadingStore::OpenForKeeping(db_path));
  } catch (const keeper::StoreOpenError& e) {
    if (e.not_keeper_database()) {
      std::fprintf(stderr, "dosebridge-keeper: %s; leaving it untouched\n", e.what());
      return kExitFailure;
    }
    std::fprintf(stderr, "cannot open the database now, will retry at each poll: %s\n", e.what());
  }
  const std::string web_dir = options.web_dir.empty() ? keeper::DefaultWebDir() : options.web_dir;
  if (web_dir.empty()) std::fprintf(stderr, "no viewer files found: / answers 404\n");

  boost::asio::io_context io;
  keeper::Poller poller(keeper::ServiceClient(options.service), db_path, std::move(store),
                        options.every);
  std::unique_ptr<keeper::KeeperServer> server;
  try {
    server = std::make_unique<keeper::KeeperServer>(
        io, options.listen, keeper::ServerSettings{web_dir, db_path}, poller);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "dosebridge-keeper: %s\n", e.what());
    return kExitFailure;
  }
  // Catch the signals before saying we serve: whoever waits for that line
  // may stop us right after it.
  boost::asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&](boost::system::error_code, int) {
    server->Stop();
    io.stop();
  });
  std::fprintf(stderr, "keeping readings in %s; serving %s\n", db_path.c_str(),
               server->Url().c_str());
  std::fflush(stderr);

  poller.Start();
  io.run();
  poller.Stop();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const keeper::ParsedOptions parsed = keeper::ParseOptions(argc, argv);
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "dosebridge-keeper: %s\n%s", parsed.error.c_str(),
                 keeper::UsageText().c_str());
    return kExitBadOptions;
  }
  const keeper::KeeperOptions& options = parsed.options;
  if (options.mode == keeper::KeeperOptions::Mode::kHelp) {
    std::fputs(keeper::UsageText().c_str(), stdout);
    return 0;
  }
  const std::string db_path =
      options.db_path.empty() ? keeper::DefaultDatabasePath() : options.db_path;
  if (options.mode == keeper::KeeperOptions::Mode::kExport) return Export(options, db_path);
  return Keep(options, db_path);
}
