// The keeper's SQLite database of readings.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "keeper/reading.h"
#include "keeper/sqlite_handle.h"

namespace keeper {

// How long a store waits for another program's lock before it gives up.
inline constexpr std::chrono::milliseconds kBusyTimeout{5000};

class StoreOpenError : public std::runtime_error {
 public:
  StoreOpenError(const std::string& what, bool not_keeper_database)
      : std::runtime_error(what), not_keeper_database_(not_keeper_database) {}
  // True: the file is something else (or corrupt) and must be left alone.
  // False: the place is not usable now (read-only, full, locked); try later.
  bool not_keeper_database() const { return not_keeper_database_; }

 private:
  bool not_keeper_database_;
};

struct SerialSummary {
  std::string serial;
  std::int64_t kept = 0;
  double newest_radiation = 0;
  std::int64_t newest_time = 0;
};

// Walks the kept readings in time order.
class HistoryCursor {
 public:
  explicit HistoryCursor(SqliteStatement statement) : statement_(std::move(statement)) {}
  bool Next(Reading* reading);

 private:
  SqliteStatement statement_;
};

class ReadingStore {
 public:
  // Opens the database, making it (and its folder) when there is none.
  static ReadingStore OpenForKeeping(const std::string& path);
  // Opens an existing database without changing it.
  static ReadingStore OpenForReading(const std::string& path);
  // Reads every page once; throws StoreOpenError when the file is damaged.
  void CheckIntact();

  struct KeepOutcome {
    int stored = 0;         // readings that were new
    std::int64_t kept = 0;  // readings kept for the serial asked about
  };
  // Stores the readings not kept yet, all in one transaction, and counts
  // those kept for `serial`. Writes nothing when none is new. Throws SqliteError.
  KeepOutcome Keep(const std::vector<Reading>& readings, const std::string& serial = {});
  std::vector<SerialSummary> Summaries();
  HistoryCursor History(std::int64_t since);

 private:
  explicit ReadingStore(SqliteConnection connection, std::string path)
      : db_(std::move(connection)), path_(std::move(path)) {}
  bool IsKept(const Reading& reading);
  std::int64_t Count(const std::string& serial);

  SqliteConnection db_;
  std::string path_;
  // Prepared once: a poll runs them for every point.
  std::optional<SqliteStatement> lookup_, count_;
};

}  // namespace keeper
