#include "keeper/query_string.h"

#include <gtest/gtest.h>

namespace keeper {
namespace {

TEST(QueryStringTest, DecodesNamesAndValues) {
  const auto parameters = ParseQueryString("since=100&a%20b=c+d&flag&&x=%2F%3d");
  ASSERT_TRUE(parameters);
  const QueryParameters expected{{"since", "100"}, {"a b", "c d"}, {"flag", ""}, {"x", "/="}};
  EXPECT_EQ(*parameters, expected);
}

TEST(QueryStringTest, EmptyQueryHasNoParameters) {
  const auto parameters = ParseQueryString("");
  ASSERT_TRUE(parameters);
  EXPECT_TRUE(parameters->empty());
}

TEST(QueryStringTest, RefusesMalformedEscapes) {
  for (const char* query : {"since=%", "since=%4", "since=%zz", "%g0=1", "a=1&b=%1"}) {
    EXPECT_FALSE(ParseQueryString(query)) << query;
  }
}

}  // namespace
}  // namespace keeper
