#include "keeper/reading_store.h"

#include <ctime>
#include <filesystem>

namespace keeper {
namespace {

// Marks a database as the keeper's ("dbkp"), so that no other file is taken for one.
constexpr std::int64_t kApplicationId = 0x64626b70;
constexpr std::int64_t kSchemaVersion = 1;

constexpr char kSchema[] = R"sql(
-- Kept in time order: the history is one sequential read.
CREATE TABLE readings (
  serial TEXT NOT NULL,
  id INTEGER NOT NULL,
  time INTEGER NOT NULL,
  radiation TEXT NOT NULL,
  radiation_value REAL NOT NULL,
  period INTEGER NOT NULL,
  stored_at INTEGER NOT NULL,
  PRIMARY KEY (time, serial, id, radiation, period)
) WITHOUT ROWID;
CREATE INDEX readings_by_serial ON readings (serial, time);
-- Counting a serial's readings at every poll would cost a scan of them all.
CREATE TABLE kept_counts (serial TEXT PRIMARY KEY, kept INTEGER NOT NULL) WITHOUT ROWID;
CREATE TRIGGER count_kept AFTER INSERT ON readings BEGIN
  INSERT INTO kept_counts VALUES (NEW.serial, 1)
    ON CONFLICT (serial) DO UPDATE SET kept = kept + 1;
END;
CREATE TRIGGER count_removed AFTER DELETE ON readings BEGIN
  UPDATE kept_counts SET kept = kept - 1 WHERE serial = OLD.serial;
END;
CREATE TRIGGER count_moved AFTER UPDATE OF serial ON readings BEGIN
  UPDATE kept_counts SET kept = kept - 1 WHERE serial = OLD.serial;
  INSERT INTO kept_counts VALUES (NEW.serial, 1)
    ON CONFLICT (serial) DO UPDATE SET kept = kept + 1;
END;
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

bool ReadingStore::IsKept(const Reading& reading) {
  if (!lookup_) lookup_.emplace(db_.Prepare(kSameReading));
  lookup_->Reset();
  BindKey(*lookup_, reading);
  lookup_->BindInt64(5, reading.period);
  const bool kept = lookup_->Step();
  lookup_->Reset();  // ends the statement's read
  return kept;
}

std::int64_t ReadingStore::Count(const std::string& serial) {
  if (!count_) count_.emplace(db_.Prepare("SELECT kept FROM kept_counts WHERE serial = ?1"));
  count_->Reset();
  count_->BindText(1, serial);
  const std::int64_t kept = count_->Step() ? count_->ColumnInt64(0) : 0;
  count_->Reset();
  return kept;
}

ReadingStore::KeepOutcome ReadingStore::Keep(const std::vector<Reading>& readings,
                                             const std::string& serial) {
  KeepOutcome outcome;
  // Look first, in one read transaction: most polls find nothing new, and
  // then take no write lock at all.
  std::vector<const Reading*> fresh;
  db_.Execute("BEGIN");
  try {
    for (const Reading& reading : readings) {
      if (!IsKept(reading)) fresh.push_back(&reading);
    }
    if (fresh.empty()) outcome.kept = Count(serial);
    db_.Execute("COMMIT");
  } catch (...) {
    sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  if (fresh.empty()) return outcome;
  const std::int64_t now = std::time(nullptr);
  db_.Execute("BEGIN IMMEDIATE");
  try {
    SqliteStatement insert = db_.Prepare(kInsert);
    for (const Reading* reading : fresh) {
      insert.Reset();
      BindKey(insert, *reading);
      insert.BindDouble(5, reading->radiation_value);
      insert.BindInt64(6, reading->period);
      insert.BindInt64(7, now);
      insert.Step();
      outcome.stored += sqlite3_changes(db_.get());
    }
    outcome.kept = Count(serial);
    db_.Execute("COMMIT");
    return outcome;
  } catch (...) {
    sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

std::vector<SerialSummary> ReadingStore::Summaries() {
  std::vector<SerialSummary> summaries;
  SqliteStatement counts =
      db_.Prepare("SELECT serial, kept FROM kept_counts WHERE kept > 0 ORDER BY serial");
  SqliteStatement newest = db_.Prepare(
      "SELECT radiation_value, time FROM readings WHERE serial = ?1 "
      "ORDER BY time DESC, id DESC LIMIT 1");
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
