#include "store/SqliteDb.h"

#include "core/OLog.h"
#include "store/SqlStatement.h"

namespace {

// The statement up to its first value: enough to tell which one failed without
// writing names or passwords into the log.
std::string statementHead(const std::string& statement) {
  return statement.substr(0, statement.find_first_of("'0123456789"));
}

}  // namespace

bool SqliteQuery::Step() {
  return statement_ && sqlite3_step(statement_.get()) == SQLITE_ROW;
}

std::string SqliteQuery::Text(int column) const {
  if (!statement_) return {};
  const auto* text = sqlite3_column_text(statement_.get(), column);
  if (!text) return {};
  const int size = sqlite3_column_bytes(statement_.get(), column);
  return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size));
}

std::int32_t SqliteQuery::Int(int column) const {
  return statement_ ? sqlite3_column_int(statement_.get(), column) : 0;
}

double SqliteQuery::Real(int column) const {
  return statement_ ? sqlite3_column_double(statement_.get(), column) : 0;
}

int SqliteQuery::Finalize() {
  if (!statement_) return SQLITE_MISUSE;
  return sqlite3_finalize(statement_.release());
}

bool SqliteDb::Open(const char* utf8Path) {
  Close();
  if (!utf8Path || !*utf8Path) return false;
  sqlite3* raw = nullptr;
  const int result = sqlite3_open(utf8Path, &raw);
  // sqlite3_open hands out a connection even when it fails; it must be closed.
  std::unique_ptr<sqlite3, SqliteConnectionCloser> connection(raw);
  if (result != SQLITE_OK) {
    LOG_ERROR("cannot open the database %s: %s", utf8Path, raw ? sqlite3_errmsg(raw) : sqlite3_errstr(result));
    return false;
  }
  // Another client on this computer may be writing the same file: wait for it
  // a little instead of failing the statement at once.
  sqlite3_busy_timeout(connection.get(), kBusyTimeoutMs);
  connection_ = std::move(connection);
  return true;
}

void SqliteDb::Close() { connection_.reset(); }

SqliteQuery SqliteDb::Prepare(const std::string& statement) {
  if (!connection_) return SqliteQuery();
  sqlite3_stmt* raw = nullptr;
  const int result = sqlite3_prepare_v2(connection_.get(), statement.c_str(), -1, &raw, nullptr);
  SqliteQuery query(raw);
  if (result != SQLITE_OK || !raw) {
    LOG_ERROR("cannot prepare [%s...]: %s", statementHead(statement).c_str(), sqlite3_errmsg(connection_.get()));
    return SqliteQuery();
  }
  return query;
}

bool SqliteDb::Execute(const std::string& statement) {
  SqliteQuery query = Prepare(statement);
  if (!query.IsValid()) return false;
  query.Step();
  if (query.Finalize() != SQLITE_OK) {
    LOG_ERROR("statement failed [%s...]: %s", statementHead(statement).c_str(), sqlite3_errmsg(connection_.get()));
    return false;
  }
  return true;
}

bool SqliteDb::TableExists(const std::string& table) {
  const auto statement = mc::formatStatement(
      "select count(*) from sqlite_master where type='table' and name='%s'", {table});
  if (!statement) return false;
  SqliteQuery query = Prepare(*statement);
  return query.Step() && query.Int(0) != 0;
}

std::string SqliteDb::ErrorText() const {
  return connection_ ? sqlite3_errmsg(connection_.get()) : "database not open";
}
