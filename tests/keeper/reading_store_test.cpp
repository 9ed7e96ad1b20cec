#include "keeper/reading_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace keeper {
namespace {

namespace fs = std::filesystem;

class ReadingStoreTest : public testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/keeper-store-test-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
    path_ = dir_ + "/sub/readings.sqlite3";
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }

  std::string dir_, path_;
};

Reading Point(const std::string& serial, const std::string& id, std::int64_t time,
              const std::string& radiation, std::int64_t period = 60) {
  return Reading{serial, id, time, radiation, std::stod(radiation), period};
}

std::vector<Reading> All(ReadingStore& store, std::int64_t since = 0) {
  std::vector<Reading> all;
  HistoryCursor cursor = store.History(since);
  for (Reading r; cursor.Next(&r);) all.push_back(r);
  return all;
}

TEST_F(ReadingStoreTest, KeepsEachReadingOnceAndNeverMergesDifferentOnes) {
  ReadingStore store = ReadingStore::OpenForKeeping(path_);
  const std::vector<Reading> log{Point("aa", "1", 100, "0.12"), Point("aa", "2", 200, "0.13")};
  EXPECT_EQ(store.Keep(log).stored, 2);
  EXPECT_EQ(store.Keep(log).stored, 0);
  // Each differs from the first point in one member only.
  const std::vector<Reading> neighbours{
      Point("bb", "1", 100, "0.12"), Point("aa", "9", 100, "0.12"), Point("aa", "1", 101, "0.12"),
      Point("aa", "1", 100, "0.120"), Point("aa", "1", 100, "0.12", 30)};
  EXPECT_EQ(store.Keep(neighbours).stored, 5);
  EXPECT_EQ(store.Keep({}, "aa").kept, 6);
  EXPECT_EQ(store.Keep({}, "bb").kept, 1);
  EXPECT_EQ(store.Keep({}, "cc").kept, 0);
  EXPECT_EQ(store.Keep(log, "aa").kept, 6) << "counted when nothing is new, too";
}

TEST_F(ReadingStoreTest, KeepsTheRadiationTextAsReceivedBesideItsValue) {
  {
    ReadingStore store = ReadingStore::OpenForKeeping(path_);
    store.Keep({Point("aa", "-1", 4294967295LL, "0.1000000000000000", -1)});
  }
  ReadingStore reader = ReadingStore::OpenForReading(path_);
  const auto all = All(reader);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].radiation, "0.1000000000000000");
  EXPECT_DOUBLE_EQ(all[0].radiation_value, 0.1);
  EXPECT_EQ(all[0].id, "-1");
  EXPECT_EQ(all[0].time, 4294967295LL);
  EXPECT_EQ(all[0].period, -1);
}

TEST_F(ReadingStoreTest, HistoryIsInTimeOrderFromSince) {
  ReadingStore store = ReadingStore::OpenForKeeping(path_);
  store.Keep({Point("bb", "3", 300, "0.3"), Point("aa", "1", 100, "0.1"),
              Point("aa", "2", 200, "0.2"), Point("aa", "3", 300, "0.4")});
  const auto all = All(store);
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[0].time, 100);
  EXPECT_EQ(all[1].time, 200);
  EXPECT_EQ(all[2].serial, "aa");
  EXPECT_EQ(all[3].serial, "bb");
  EXPECT_EQ(All(store, 200).size(), 3u);
  EXPECT_EQ(All(store, 301).size(), 0u);
}

TEST_F(ReadingStoreTest, SummariesNameTheNewestReadingOfEachSerial) {
  ReadingStore store = ReadingStore::OpenForKeeping(path_);
  store.Keep({Point("aa", "1", 100, "0.1"), Point("aa", "2", 300, "0.25"),
              Point("aa", "3", 200, "0.2"), Point("bb", "1", 50, "1.5")});
  const auto summaries = store.Summaries();
  ASSERT_EQ(summaries.size(), 2u);
  EXPECT_EQ(summaries[0].serial, "aa");
  EXPECT_EQ(summaries[0].kept, 3);
  EXPECT_EQ(summaries[0].newest_time, 300);
  EXPECT_DOUBLE_EQ(summaries[0].newest_radiation, 0.25);
  EXPECT_EQ(summaries[1].serial, "bb");
  EXPECT_EQ(summaries[1].kept, 1);
}

TEST_F(ReadingStoreTest, APollWithNothingNewWritesNothing) {
  ReadingStore store = ReadingStore::OpenForKeeping(path_);
  const std::vector<Reading> log{Point("aa", "1", 100, "0.12"), Point("aa", "2", 200, "0.13")};
  store.Keep(log);
  const std::string db_before = Bytes(path_);
  const std::string wal_before = Bytes(path_ + "-wal");
  ASSERT_FALSE(wal_before.empty());
  EXPECT_EQ(store.Keep(log).stored, 0);
  EXPECT_EQ(store.Keep({}, "aa").stored, 0);
  EXPECT_EQ(Bytes(path_), db_before);
  EXPECT_EQ(Bytes(path_ + "-wal"), wal_before);
}

TEST_F(ReadingStoreTest, ReadingDoesNotCreateADatabase) {
  try {
    ReadingStore::OpenForReading(path_);
    FAIL() << "opened a database that does not exist";
  } catch (const StoreOpenError& e) {
    EXPECT_FALSE(e.not_keeper_database());
  }
  EXPECT_FALSE(fs::exists(path_));
}

TEST_F(ReadingStoreTest, AnUnusablePlaceIsWorthRetrying) {
  try {
    ReadingStore::OpenForKeeping("/dev/null/readings.sqlite3");
    FAIL() << "opened a database under /dev/null";
  } catch (const StoreOpenError& e) {
    EXPECT_FALSE(e.not_keeper_database()) << e.what();
  }
}

// Files that are not the keeper's: each is refused and left byte for byte.
TEST_F(ReadingStoreTest, RefusesOtherFilesAndLeavesThemAlone) {
  fs::create_directories(dir_ + "/sub");
  // A damaged keeper database: the header survives, the pages after it do not.
  {
    ReadingStore store = ReadingStore::OpenForKeeping(path_);
    std::vector<Reading> many;
    for (int i = 0; i < 2000; ++i) many.push_back(Point("aa", std::to_string(i), i, "0.1"));
    store.Keep(many);
  }
  std::string damaged = Bytes(path_);
  ASSERT_GT(damaged.size(), 8192u);
  for (std::size_t i = 4096; i < damaged.size(); i += 7) damaged[i] = '\x5a';
  // Someone else's SQLite database.
  const std::string foreign = dir_ + "/foreign.sqlite3";
  {
    sqlite3* db = nullptr;
    sqlite3_open(foreign.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE notes(text); INSERT INTO notes VALUES('mine');", nullptr,
                 nullptr, nullptr);
    sqlite3_close(db);
  }
  const std::pair<std::string, std::string> files[] = {
      {dir_ + "/notes.txt", "These are my notes, not a database.\n"},
      {dir_ + "/damaged.sqlite3", damaged},
      {foreign, Bytes(foreign)},
  };
  for (const auto& [path, bytes] : files) {
    if (path != foreign) Write(path, bytes);
    for (bool keeping : {true, false}) {
      try {
        if (keeping) {
          ReadingStore::OpenForKeeping(path);
        } else {
          ReadingStore::OpenForReading(path).CheckIntact();
        }
        ADD_FAILURE() << path << " was taken for a keeper database";
      } catch (const StoreOpenError& e) {
        EXPECT_TRUE(e.not_keeper_database()) << path << ": " << e.what();
      }
      EXPECT_EQ(Bytes(path), bytes) << path;
    }
  }
}

}  // namespace
}  // namespace keeper
