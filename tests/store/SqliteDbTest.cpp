#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "store/NumberText.h"
#include "store/SqlStatement.h"
#include "store/SqliteDb.h"
#include "tests/support/TempFolder.h"

using mc::test::TempFolder;
using mc::test::writeFile;

TEST(SqliteDb, OpenRefusesPathsThatGiveNoFile) {
  TempFolder temp;
  SqliteDb db;
  EXPECT_FALSE(db.Open(nullptr));
  EXPECT_FALSE(db.Open(""));  // would be a private temporary database
  EXPECT_FALSE(db.Open(temp.file("missing-folder/x.db").c_str()));
  EXPECT_FALSE(db.Open(temp.path().c_str()));
  EXPECT_FALSE(db.IsOpen());
  EXPECT_FALSE(db.Execute("create table t(a)"));
  EXPECT_FALSE(db.Prepare("select 1").IsValid());
  db.Close();
  db.Close();
}

TEST(SqliteDb, ExecuteIsTrueOnlyWhenTheStatementRan) {
  TempFolder temp;
  SqliteDb db;
  ASSERT_TRUE(db.Open(temp.file("a.db").c_str()));
  ASSERT_TRUE(db.Execute("create table t(a integer unique, b text)"));
  EXPECT_TRUE(db.Execute("insert into t values(1, null)"));

  struct Case {
    const char* what;
    const char* statement;
  };
  const Case failing[] = {
      {"syntax error", "insert into t valuez(2)"},
      {"unknown table", "insert into nowhere values(2)"},
      {"failing step", "insert into t values(1, 'x')"},  // UNIQUE
      {"empty text", ""},
  };
  for (const auto& c : failing) EXPECT_FALSE(db.Execute(c.statement)) << c.what;
  EXPECT_FALSE(db.ErrorText().empty());

  SqliteQuery count = db.Prepare("select count(*) from t");
  ASSERT_TRUE(count.Step());
  EXPECT_EQ(count.Int(0), 1);
}

TEST(SqliteDb, QueryReadsColumnsAndNullTextAsEmpty) {
  TempFolder temp;
  SqliteDb db;
  ASSERT_TRUE(db.Open(temp.file("a.db").c_str()));
  ASSERT_TRUE(db.Execute("create table t(a text, b integer, c double)"));
  ASSERT_TRUE(db.Execute("insert into t values(null, 7, 2.5)"));
  ASSERT_TRUE(db.Execute("insert into t values('名字', -3, -0.125)"));

  SqliteQuery query = db.Prepare("select * from t order by b desc");
  ASSERT_TRUE(query.IsValid());
  ASSERT_TRUE(query.Step());
  EXPECT_EQ(query.Text(0), "");
  EXPECT_EQ(query.Int(1), 7);
  EXPECT_DOUBLE_EQ(query.Real(2), 2.5);
  ASSERT_TRUE(query.Step());
  EXPECT_EQ(query.Text(0), "名字");
  EXPECT_EQ(query.Int(1), -3);
  EXPECT_DOUBLE_EQ(query.Real(2), -0.125);
  EXPECT_FALSE(query.Step());
  EXPECT_EQ(query.Finalize(), SQLITE_OK);
  EXPECT_FALSE(query.IsValid());

  SqliteQuery invalid = db.Prepare("select * from nowhere");
  EXPECT_FALSE(invalid.IsValid());
  EXPECT_FALSE(invalid.Step());
  EXPECT_EQ(invalid.Text(0), "");
  EXPECT_NE(invalid.Finalize(), SQLITE_OK);
}

TEST(SqliteDb, TableExistsTakesTheNameAsDataOnly) {
  TempFolder temp;
  SqliteDb db;
  ASSERT_TRUE(db.Open(temp.file("a.db").c_str()));
  ASSERT_TRUE(db.Execute("create table [O'Hara] (a)"));
  ASSERT_TRUE(db.Execute("create index Idx on [O'Hara](a)"));
  EXPECT_TRUE(db.TableExists("O'Hara"));
  EXPECT_FALSE(db.TableExists("Idx"));  // an index is no table
  EXPECT_FALSE(db.TableExists("Missing"));
  // Would be true for any name if the quote ended the literal.
  EXPECT_FALSE(db.TableExists("x' or '1'='1"));
}

TEST(SqliteDb, ANonDatabaseFileOpensButCannotBeQueried) {
  TempFolder temp;
  writeFile(temp.file("junk.db"), std::string(4096, 'x'));
  SqliteDb db;
  ASSERT_TRUE(db.Open(temp.file("junk.db").c_str()));  // sqlite reads the file lazily
  EXPECT_FALSE(db.TableExists("UserTable"));
  EXPECT_FALSE(db.Execute("create table t(a)"));
}

TEST(SqlStatement, SubstitutesMarkersAndDoublesQuotes) {
  struct Case {
    const char* pattern;
    std::initializer_list<mc::SqlValue> values;
    const char* expected;
  };
  const Case cases[] = {
      {"a='%s'", {"plain"}, "a='plain'"},
      {"a='%s'", {"O'Brien"}, "a='O''Brien'"},
      {"a='%s'", {"''"}, "a=''''''"},
      {"a='%s'", {"x' or '1'='1"}, "a='x'' or ''1''=''1'"},
      {"a='%s'", {""}, "a=''"},
      {"n=%d,m=%d", {std::int32_t{-7}, std::int32_t{2147483647}}, "n=-7,m=2147483647"},
      {"x=%f,y=%f", {116.404, -39.9151234}, "x=116.404000,y=-39.915123"},
      {"x=%f", {0.0}, "x=0.000000"},
      {"values('%s',%d,%f)", {"a", std::int32_t{1}, 2.0}, "values('a',1,2.000000)"},
      {"no markers", {}, "no markers"},
  };
  for (const auto& c : cases) {
    const auto out = mc::formatStatement(c.pattern, c.values);
    ASSERT_TRUE(out.has_value()) << c.expected;
    EXPECT_EQ(*out, c.expected);
  }
}

TEST(SqlStatement, RefusesWhatCouldNotBeWrittenSafely) {
  const std::string withNul("a\0b", 3);
  struct Case {
    const char* what;
    const char* pattern;
    std::initializer_list<mc::SqlValue> values;
  };
  const Case cases[] = {
      {"text with a NUL byte", "a='%s'", {std::string_view(withNul)}},
      {"text marker without quotes", "a=%s", {"1 or 1=1"}},
      {"text marker with one quote", "a='%s", {"x"}},
      {"missing value", "a='%s' and b='%s'", {"x"}},
      {"value left over", "a='%s'", {"x", "y"}},
      {"integer for a text", "a='%s'", {std::int32_t{1}}},
      {"text for an integer", "a=%d", {"1"}},
      {"integer for a real", "a=%f", {std::int32_t{1}}},
      {"unknown marker", "a=%x", {std::int32_t{1}}},
      {"marker at the end", "a=%", {std::int32_t{1}}},
  };
  for (const auto& c : cases) EXPECT_FALSE(mc::formatStatement(c.pattern, c.values).has_value()) << c.what;
}

TEST(SqlStatement, FitsAtMost511BytesCountingDoubledQuotes) {
  const std::string pattern = "a='%s'";  // 4 bytes around the text
  const std::size_t room = mc::kStatementBufferSize - 1 - 4;
  struct Case {
    std::string text;
    bool fits;
  };
  const Case cases[] = {
      {std::string(room, 'n'), true},
      {std::string(room + 1, 'n'), false},
      {std::string(room - 1, 'n') + "'", false},  // the quote doubles to room + 1
      {std::string(room - 2, 'n') + "'", true},
      {std::string(100000, 'n'), false},
  };
  for (const auto& c : cases) {
    const auto out = mc::formatStatement(pattern, {c.text});
    EXPECT_EQ(out.has_value(), c.fits) << c.text.size();
    if (out) {
      EXPECT_LE(out->size(), mc::kStatementBufferSize - 1);
    }
  }
  // Huge reals print in full and count too.
  EXPECT_TRUE(mc::formatStatement("x=%f", {1e300}).has_value());
  EXPECT_FALSE(mc::formatStatement("x=%f,y=%f", {1e300, -1e300}).has_value());
}

TEST(NumberText, ReadsNumbersLikeTheCLibraryWithoutItsUndefinedCases) {
  struct RealCase {
    const char* text;
    double value;
  };
  const RealCase reals[] = {
      {"116.404", 116.404}, {" 39.915", 39.915}, {"-12.5", -12.5}, {"+3", 3}, {"7abc", 7},
      {"", 0},             {"abc", 0},          {"--1", 0},       {"+-1", 0}, {".5", 0.5},
      {"1e2", 100},         {"nan", 0},          {"inf", 0},       {"1e999", 0},
  };
  for (const auto& c : reals) EXPECT_DOUBLE_EQ(mc::parseReal(c.text), c.value) << c.text;

  struct IntCase {
    const char* text;
    std::int32_t value;
  };
  const IntCase integers[] = {
      {"12", 12},          {" -4", -4},          {"+8x", 8},           {"", 0},
      {"x1", 0},           {"3.9", 3},           {"2147483647", 2147483647},
      {"99999999999999999999", 2147483647},      {"-99999999999999999999", -2147483647 - 1},
  };
  for (const auto& c : integers) EXPECT_EQ(mc::parseInteger(c.text), c.value) << c.text;

  EXPECT_EQ(mc::formatReal(116.404), "116.404000");
  EXPECT_EQ(mc::formatReal(-0.0000004), "-0.000000");
  EXPECT_EQ(mc::formatReal(std::nan("")), "0.000000");
}
