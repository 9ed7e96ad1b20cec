#include "keeper/history_json.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

namespace keeper {
namespace {

class HistoryJsonTest : public testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/keeper-history-test-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Document(ReadingStore& store, int* pieces) {
    HistoryJsonWriter writer(store.History(0));
    std::string document, piece;
    *pieces = 0;
    while (writer.NextPiece(&piece)) {
      document += piece;
      ++*pieces;
    }
    return document;
  }

  std::string dir_;
};

TEST_F(HistoryJsonTest, WritesCompactJsonWithStringValues) {
  ReadingStore store = ReadingStore::OpenForKeeping(dir_ + "/r.sqlite3");
  int pieces = 0;
  EXPECT_EQ(Document(store, &pieces), "{\"Readings\":[]}");
  store.Keep({Reading{"0123456789abcd", "1", 1396440000, "0.12", 0.12, 60},
              Reading{"a\"b", "-1", 5, "1e-3", 0.001, -1}});
  EXPECT_EQ(Document(store, &pieces),
            "{\"Readings\":["
            "{\"serial\":\"a\\\"b\",\"id\":\"-1\",\"time\":\"5\",\"radiation\":\"1e-3\","
            "\"period\":\"-1\"},"
            "{\"serial\":\"0123456789abcd\",\"id\":\"1\",\"time\":\"1396440000\","
            "\"radiation\":\"0.12\",\"period\":\"60\"}]}");
}

TEST_F(HistoryJsonTest, ALongHistoryComesInPiecesThatJoinIntoOneDocument) {
  ReadingStore store = ReadingStore::OpenForKeeping(dir_ + "/r.sqlite3");
  std::vector<Reading> many;
  // Every reading takes more than 80 bytes: this is more than three pieces' worth.
  constexpr int kCount = static_cast<int>(3 * kHistoryPieceBytes / 80);
  for (int i = 0; i < kCount; ++i) {
    many.push_back(Reading{"0123456789abcd", std::to_string(i % 128), i, "0.1", 0.1, 60});
  }
  store.Keep(many);
  int pieces = 0;
  const auto document = nlohmann::json::parse(Document(store, &pieces));
  EXPECT_GT(pieces, 2);
  ASSERT_EQ(document["Readings"].size(), static_cast<std::size_t>(kCount));
  EXPECT_EQ(document["Readings"][kCount - 1]["time"], std::to_string(kCount - 1));
}

}  // namespace
}  // namespace keeper
