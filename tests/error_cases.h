#pragma once

// Malformed inputs as data, each refused with its line and message: each line of such a file is
// "LINE | INPUT | MESSAGE", with \n and \r in INPUT standing for a line feed and a carriage return;
// lines starting with # are comments.

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace cases {

struct ErrorCase {
  std::string input;
  std::string expected; // "LINE: MESSAGE", as the error reads
};

inline std::vector<ErrorCase> errorCases(const std::string& path) {
  std::vector<ErrorCase> found;
  std::ifstream file(path);
  for (std::string entry; std::getline(file, entry);) {
    if (entry.starts_with('#')) continue;
    const std::size_t first = entry.find(" | "), second = entry.rfind(" | ");
    // Built piece by piece: GCC 12's -Wrestrict at -O3 flags an in-place replace of "\\n" by a
    // one-character literal, a false positive (GCC PR 105329).
    std::string input;
    std::string_view rest = std::string_view(entry).substr(first + 3, second - first - 3);
    for (std::size_t at; (at = rest.find('\\')) != std::string_view::npos;) {
      input.append(rest.substr(0, at));
      const std::string_view escape = rest.substr(at, 2);
      input.push_back(escape == "\\n" ? '\n' : escape == "\\r" ? '\r' : '\\');
      rest.remove_prefix(at + (escape == "\\n" || escape == "\\r" ? 2 : 1));
    }
    input.append(rest);
    found.push_back({input, entry.substr(0, first) + ": " + entry.substr(second + 3)});
  }
  return found;
}

// Every case of the file must be refused by parse with an Error naming its line and message.
template <class Error, class Parse> void expectEachRefused(const std::string& path, Parse parse) {
  const std::vector<ErrorCase> malformed = errorCases(path);
  for (const auto& [text, expected] : malformed) {
    std::istringstream input(text);
    try {
      parse(input);
      ADD_FAILURE() << "accepted: " << expected;
    } catch (const Error& error) {
      EXPECT_EQ(std::to_string(error.line) + ": " + error.what(), expected);
    }
  }
  EXPECT_GT(malformed.size(), 20u);
}

} // namespace cases
