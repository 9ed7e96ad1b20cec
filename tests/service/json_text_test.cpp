#include "service/json_text.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

ReadingDocument Leaf(const std::string& value) {
  return ReadingDocument(value);
}

TEST(TreeToJsonText, EmptyRootIsEmptyObject) {
  EXPECT_EQ(TreeToJsonText(ReadingDocument()), "{\n}\n");
}

TEST(TreeToJsonText, NestedObjectsAndArraysOpenOnTheirOwnLine) {
  ReadingDocument root, object, list, element;
  object.push_back({"a", Leaf("1")});
  element.push_back({"x", Leaf("")});
  list.push_back({"", element});
  list.push_back({"", Leaf("v")});
  root.push_back({"O", object});
  root.push_back({"L", list});
  root.push_back({"S", Leaf("0")});
  EXPECT_EQ(TreeToJsonText(root),
            "{\n"
            "    \"O\":\n"
            "    {\n"
            "        \"a\": \"1\"\n"
            "    },\n"
            "    \"L\":\n"
            "    [\n"
            "        {\n"
            "            \"x\": \"\"\n"
            "        },\n"
            "        \"v\"\n"
            "    ],\n"
            "    \"S\": \"0\"\n"
            "}\n");
}

struct EscapeCase {
  const char* label;
  std::string raw;
  std::string escaped;
};

class EscapeTable : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeTable, EscapesKeysAndValuesAlike) {
  ReadingDocument root;
  root.push_back({GetParam().raw, Leaf(GetParam().raw)});
  const std::string& e = GetParam().escaped;
  EXPECT_EQ(TreeToJsonText(root), "{\n    \"" + e + "\": \"" + e + "\"\n}\n") << GetParam().label;
}

INSTANTIATE_TEST_SUITE_P(
    Table, EscapeTable,
    ::testing::Values(EscapeCase{"plain", "Ab-1.9 !#~", "Ab-1.9 !#~"},
                      EscapeCase{"named escapes", "\b\f\n\r\"/\\", "\\b\\f\\n\\r\\\"\\/\\\\"},
                      EscapeCase{"tab and other controls", std::string("\t\x01\x1f", 3),
                                 "\\u0009\\u0001\\u001F"},
                      EscapeCase{"DEL is copied", "\x7f", "\x7f"},
                      EscapeCase{"high bytes", "\x80\xc3\xff", "\\u0080\\u00C3\\u00FF"},
                      EscapeCase{"NUL", std::string("a\0b", 3), "a\\u0000b"}));

TEST(TreeToJsonText, RefusesNodeWithValueAndChildren) {
  ReadingDocument root, bad("value");
  bad.push_back({"k", Leaf("v")});
  root.push_back({"B", bad});
  EXPECT_THROW(TreeToJsonText(root), std::invalid_argument);
  EXPECT_THROW(TreeToJsonText(Leaf("root value")), std::invalid_argument);
}

}  // namespace
