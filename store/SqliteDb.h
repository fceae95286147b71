#pragma once
#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>

// Thin owners of one SQLite connection and one prepared statement. Neither is
// thread-safe on its own; CLocalDb serialises every use behind its lock.

struct SqliteStatementCloser {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
struct SqliteConnectionCloser {
  void operator()(sqlite3* connection) const { sqlite3_close(connection); }
};

// One prepared statement, null when preparation failed; finalized when dropped.
class SqliteQuery {
 public:
  SqliteQuery() = default;
  explicit SqliteQuery(sqlite3_stmt* statement) : statement_(statement) {}

  bool IsValid() const { return statement_ != nullptr; }
  // True only while the statement yields a row (SQLITE_ROW).
  bool Step();
  // Column accessors of the current row; a null text reads as empty.
  std::string Text(int column) const;
  std::int32_t Int(int column) const;
  double Real(int column) const;
  // Releases the statement. SQLITE_OK when every step so far succeeded,
  // otherwise the error of the last step (SQLITE_MISUSE when never prepared).
  int Finalize();

 private:
  std::unique_ptr<sqlite3_stmt, SqliteStatementCloser> statement_;
};

// One connection, null when closed.
class SqliteDb {
 public:
  // How long a statement waits for a lock held by another connection.
  static constexpr int kBusyTimeoutMs = 2000;

  // False for a null or empty path, or when sqlite3_open does not return
  // SQLITE_OK. An open connection is closed first.
  bool Open(const char* utf8Path);
  void Close();
  bool IsOpen() const { return connection_ != nullptr; }

  // Prepares the whole text, steps once and finalizes: true only when the
  // preparation succeeded and finalize returned SQLITE_OK.
  bool Execute(const std::string& statement);
  SqliteQuery Prepare(const std::string& statement);
  // True only when the table named `table` exists in the database.
  bool TableExists(const std::string& table);

  // The connection's last error text (for log lines).
  std::string ErrorText() const;

 private:
  std::unique_ptr<sqlite3, SqliteConnectionCloser> connection_;
};
