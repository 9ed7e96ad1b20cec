#include "keeper/sqlite_handle.h"

namespace keeper {

void CheckSqlite(sqlite3* db, int result, int expected) {
  if (result == expected) return;
  throw SqliteError(result, db ? sqlite3_errmsg(db) : sqlite3_errstr(result));
}

SqliteStatement::SqliteStatement(sqlite3* db, const char* sql) : db_(db) {
  sqlite3_stmt* statement = nullptr;
  CheckSqlite(db, sqlite3_prepare_v2(db, sql, -1, &statement, nullptr));
  statement_.reset(statement);
}

void SqliteStatement::BindText(int index, const std::string& text) {
  CheckSqlite(db_, sqlite3_bind_text(statement_.get(), index, text.data(),
                                     static_cast<int>(text.size()), SQLITE_TRANSIENT));
}

void SqliteStatement::BindInt64(int index, std::int64_t value) {
  CheckSqlite(db_, sqlite3_bind_int64(statement_.get(), index, value));
}

void SqliteStatement::BindDouble(int index, double value) {
  CheckSqlite(db_, sqlite3_bind_double(statement_.get(), index, value));
}

bool SqliteStatement::Step() {
  const int result = sqlite3_step(statement_.get());
  if (result == SQLITE_ROW) return true;
  CheckSqlite(db_, result, SQLITE_DONE);
  return false;
}

void SqliteStatement::Reset() {
  sqlite3_reset(statement_.get());
  sqlite3_clear_bindings(statement_.get());
}

std::string SqliteStatement::ColumnText(int column) const {
  const auto* text = sqlite3_column_text(statement_.get(), column);
  const int size = sqlite3_column_bytes(statement_.get(), column);
  return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size))
              : std::string();
}

std::int64_t SqliteStatement::ColumnInt64(int column) const {
  return sqlite3_column_int64(statement_.get(), column);
}

double SqliteStatement::ColumnDouble(int column) const {
  return sqlite3_column_double(statement_.get(), column);
}

SqliteConnection::SqliteConnection(const std::string& path, int flags) {
  sqlite3* db = nullptr;
  const int result = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  db_.reset(db);  // a failed open still hands out a handle to release
  CheckSqlite(db, result);
  sqlite3_extended_result_codes(db, 1);
}

void SqliteConnection::Execute(const char* sql) {
  CheckSqlite(db_.get(), sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr));
}

std::int64_t SqliteConnection::QueryInt64(const char* sql) {
  SqliteStatement statement = Prepare(sql);
  return statement.Step() ? statement.ColumnInt64(0) : 0;
}

}  // namespace keeper
