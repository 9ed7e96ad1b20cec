#include "keeper/reading_store.h"

#include <ctime>
#include <filesystem>

namespace keeper {
namespace {

// Marks a database as the keeper's ("dbkp"), so that no other file is taken for one.
constexpr std::int64_t kApplicationId = 0x64626b70;
constexpr std::int64_t kSchemaVersion = 1;

constexpr char kSchema[] = R"sql(
CREATE TABLE readings (
  serial TEXT NOT NULL,
  id INTEGER NOT NULL,
  time INTEGER NOT NULL,
  radiation TEXT NOT NULL,
  radiation_value REAL NOT NULL,
  period INTEGER NOT NULL,
  stored_at INTEGER NOT NULL,
  UNIQUE (serial, id, time, radiation, period)
);
CREATE INDEX readings_by_time ON readings (time, serial, id);
CREATE INDEX readings_by_serial ON readings (serial, time);
)sql";

constexpr char kSameReading[] =
    "SELECT 1 FROM readings WHERE serial = ?1 AND id = ?2 AND time = ?3 AND radiation = ?4 "
    "AND period = ?5";
constexpr char kInsert[] =
    "INSERT OR IGNORE INTO readings (serial, id, time, radiation, radiation_value, period, "
    "stored_at) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)";

bool IsForeignFile(int code) {
  return code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
}

void BindKey(SqliteStatement& statement, const Reading& reading) {
  statement.BindText(1, reading.serial);
  statement.BindInt64(2, std::stoll(reading.id));
  statement.BindInt64(3, reading.time);
  statement.BindText(4, reading.radiation);
}

// Checks that `db` is a keeper database; makes it one when it is empty.
void CheckOrCreateSchema(SqliteConnection& db, const std::string& path, bool may_create) {
  const std::int64_t application_id = db.QueryInt64("PRAGMA application_id");
  if (application_id == 0 && may_create &&
      db.QueryInt64("SELECT count(*) FROM sqlite_schema") == 0) {
    db.Execute("PRAGMA journal_mode = WAL");
    db.Execute("BEGIN IMMEDIATE");
    db.Execute(kSchema);
    db.Execute(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
    db.Execute(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    db.Execute("COMMIT");
    return;
  }
  if (application_id != kApplicationId) {
    throw StoreOpenError(path + " is not a dosebridge-keeper database", true);
  }
  if (db.QueryInt64("PRAGMA user_version") != kSchemaVersion) {
    throw StoreOpenError(path + " has a database layout this keeper does not know", true);
  }
}

}  // namespace

ReadingStore ReadingStore::OpenForKeeping(const std::string& path) {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  if (error) throw StoreOpenError("cannot make " + folder.string() + ": " + error.message(), false);
  try {
    SqliteConnection db(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
    sqlite3_busy_timeout(db.get(), static_cast<int>(kBusyTimeout.count()));
    CheckOrCreateSchema(db, path, true);
    // Survives kill -9 with every committed poll; a power cut may lose the last.
    db.Execute("PRAGMA synchronous = NORMAL");
    ReadingStore store(std::move(db), path);
    store.CheckIntact();
    return store;
  } catch (const SqliteError& e) {
    throw StoreOpenError(path + ": " + e.what(), IsForeignFile(e.code()));
  }
}

ReadingStore ReadingStore::OpenForReading(const std::string& path) {
  try {
    SqliteConnection db(path, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
    sqlite3_busy_timeout(db.get(), static_cast<int>(kBusyTimeout.count()));
    CheckOrCreateSchema(db, path, false);
    return ReadingStore(std::move(db), path);
  } catch (const SqliteError& e) {
    throw StoreOpenError(path + ": " + e.what(), IsForeignFile(e.code()));
  }
}

void ReadingStore::CheckIntact() {
  try {
    SqliteStatement check = db_.Prepare("PRAGMA quick_check");
    if (!check.Step() || check.ColumnText(0) != "ok") {
      throw StoreOpenError(path_ + " is damaged (quick_check: " + check.ColumnText(0) + ")", true);
    }
  } catch (const SqliteError& e) {
    throw StoreOpenError(path_ + ": " + e.what(), IsForeignFile(e.code()));
  }
}

bool ReadingStore::IsKept(SqliteStatement& lookup, const Reading& reading) {
  lookup.Reset();
  BindKey(lookup, reading);
  lookup.BindInt64(5, reading.period);
  return lookup.Step();
}

int ReadingStore::Keep(const std::vector<Reading>& readings) {
  // Look first, without a write lock: most polls find nothing new.
  std::vector<const Reading*> fresh;
  {
    SqliteStatement lookup = db_.Prepare(kSameReading);
    for (const Reading& reading : readings) {
      if (!IsKept(lookup, reading)) fresh.push_back(&reading);
    }
  }
  if (fresh.empty()) return 0;
  const std::int64_t now = std::time(nullptr);
  db_.Execute("BEGIN IMMEDIATE");
  try {
    SqliteStatement insert = db_.Prepare(kInsert);
    int stored = 0;
    for (const Reading* reading : fresh) {
      insert.Reset();
      BindKey(insert, *reading);
      insert.BindDouble(5, reading->radiation_value);
      insert.BindInt64(6, reading->period);
      insert.BindInt64(7, now);
      insert.Step();
      stored += sqlite3_changes(db_.get());
    }
    db_.Execute("COMMIT");
    return stored;
  } catch (...) {
    sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

std::int64_t ReadingStore::CountForSerial(const std::string& serial) {
  SqliteStatement count = db_.Prepare("SELECT count(*) FROM readings WHERE serial = ?1");
  count.BindText(1, serial);
  return count.Step() ? count.ColumnInt64(0) : 0;
}

std::vector<SerialSummary> ReadingStore::Summaries() {
  std::vector<SerialSummary> summaries;
  SqliteStatement counts =
      db_.Prepare("SELECT serial, count(*) FROM readings GROUP BY serial ORDER BY serial");
  SqliteStatement newest = db_.Prepare(
      "SELECT radiation_value, time FROM readings WHERE serial = ?1 "
      "ORDER BY time DESC, rowid DESC LIMIT 1");
  while (counts.Step()) {
    SerialSummary summary{counts.ColumnText(0), counts.ColumnInt64(1)};
    newest.Reset();
    newest.BindText(1, summary.serial);
    if (newest.Step()) {
      summary.newest_radiation = newest.ColumnDouble(0);
      summary.newest_time = newest.ColumnInt64(1);
    }
    summaries.push_back(std::move(summary));
  }
  return summaries;
}

HistoryCursor ReadingStore::History(std::int64_t since) {
  SqliteStatement statement = db_.Prepare(
      "SELECT serial, id, time, radiation, radiation_value, period FROM readings "
      "WHERE time >= ?1 ORDER BY time, serial, id");
  statement.BindInt64(1, since);
  return HistoryCursor(std::move(statement));
}

bool HistoryCursor::Next(Reading* reading) {
  if (!statement_.Step()) return false;
  reading->serial = statement_.ColumnText(0);
  reading->id = statement_.ColumnText(1);
  reading->time = statement_.ColumnInt64(2);
  reading->radiation = statement_.ColumnText(3);
  reading->radiation_value = statement_.ColumnDouble(4);
  reading->period = statement_.ColumnInt64(5);
  return true;
}

}  // namespace keeper
