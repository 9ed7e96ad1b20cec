#include "keeper/csv_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace keeper {
namespace {

TEST(CsvExportTest, WritesAHeaderAndOneLinePerReadingWithUtcTimes) {
  char name[] = "/tmp/keeper-csv-test-XXXXXX";
  ASSERT_NE(mkdtemp(name), nullptr);
  const std::string dir = name;
  {
    ReadingStore store = ReadingStore::OpenForKeeping(dir + "/r.sqlite3");
    store.Keep({Reading{"0123456789abcd", "2", 1396443600, "0.13", 0.13, 60},
                Reading{"0123456789abcd", "1", 1396440000, "0.1200000000000000", 0.12, 60},
                Reading{"odd,\"serial\"", "-1", 0, "1e-3", 0.001, -1}});
    std::ostringstream all, recent;
    HistoryCursor cursor = store.History(0);
    WriteCsv(cursor, all);
    EXPECT_EQ(all.str(),
              "serial,id,time,time_utc,radiation,period\n"
              "\"odd,\"\"serial\"\"\",-1,0,1970-01-01T00:00:00Z,1e-3,-1\n"
              "0123456789abcd,1,1396440000,2014-04-02T12:00:00Z,0.1200000000000000,60\n"
              "0123456789abcd,2,1396443600,2014-04-02T13:00:00Z,0.13,60\n");
    HistoryCursor since = store.History(1396443600);
    WriteCsv(since, recent);
    EXPECT_EQ(recent.str(),
              "serial,id,time,time_utc,radiation,period\n"
              "0123456789abcd,2,1396443600,2014-04-02T13:00:00Z,0.13,60\n");
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace keeper
