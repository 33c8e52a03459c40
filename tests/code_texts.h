#pragma once
// Checks a code-to-text function: every named code reads as its own text and
// a value that names nothing reads as the function's unknown text.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <set>
#include <string_view>

namespace pelox::test {

inline void ExpectOwnTexts(std::string_view (*text)(int32_t), std::initializer_list<int32_t> codes,
                           int32_t unnamed) {
  const std::string_view unknown = text(unnamed);
  std::set<std::string_view> texts;
  for (const int32_t code : codes) {
    EXPECT_NE(text(code), unknown) << code;
    texts.insert(text(code));
  }
  EXPECT_EQ(texts.size(), codes.size()) << "two codes share a text";
}

}  // namespace pelox::test
