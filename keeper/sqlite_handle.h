// A thin owner of SQLite connections and statements.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace keeper {

class SqliteError : public std::runtime_error {
 public:
  SqliteError(int code, const std::string& what) : std::runtime_error(what), code_(code) {}
  // The primary result code (SQLITE_BUSY, SQLITE_FULL, ...).
  int code() const { return code_ & 0xff; }

 private:
  int code_;
};

class SqliteStatement {
 public:
  SqliteStatement(sqlite3* db, const char* sql);
  void BindText(int index, const std::string& text);
  void BindInt64(int index, std::int64_t value);
  void BindDouble(int index, double value);
  // True while there is a row to read.
  bool Step();
  void Reset();
  std::string ColumnText(int column) const;
  std::int64_t ColumnInt64(int column) const;
  double ColumnDouble(int column) const;

 private:
  struct Finalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
  };
  sqlite3* db_;
  std::unique_ptr<sqlite3_stmt, Finalizer> statement_;
};

class SqliteConnection {
 public:
  // flags as for sqlite3_open_v2.
  SqliteConnection(const std::string& path, int flags);
  void Execute(const char* sql);
  SqliteStatement Prepare(const char* sql) { return SqliteStatement(db_.get(), sql); }
  // The first column of the first row of a query, as an integer.
  std::int64_t QueryInt64(const char* sql);
  sqlite3* get() const { return db_.get(); }

 private:
  struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
  };
  std::unique_ptr<sqlite3, Closer> db_;
};

// Throws SqliteError for any result other than `expected`.
void CheckSqlite(sqlite3* db, int result, int expected = SQLITE_OK);

}  // namespace keeper
