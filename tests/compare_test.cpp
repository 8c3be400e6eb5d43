// The comparer, data-driven: crafted observed logs against expected ones (observations.txt), and
// malformed logs refused with their line and message (observation_errors.txt).

#include "tests/error_cases.h"
#include "tools/compare/observation.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

std::ifstream data(const char* name) {
  return std::ifstream(std::string(QUORVANE_TESTS_DIR) + "/" + name);
}

TEST(Compare, CraftedObservations) {
  std::ifstream cases = data("observations.txt");
  std::vector<std::pair<std::string, std::string>> blocks; // header, log
  for (std::string line; std::getline(cases, line);) {
    if (line.starts_with("== "))
      blocks.emplace_back(line.substr(3), "");
    else if (!line.empty() && !line.starts_with('#'))
      blocks.back().second += line + '\n';
  }
  std::vector<observation::Line> expected;
  for (const auto& [header, text] : blocks) {
    std::istringstream log(text);
    if (header == "expected") {
      expected = observation::parseLog(log);
      continue;
    }
    const std::size_t bar = header.find(" | ");
    const auto found = observation::compare(expected, observation::parseLog(log));
    EXPECT_EQ(found ? std::to_string(found->expectedLine) + " vs " +
                          std::to_string(found->observedLine) + ": " + found->what
                    : "agree",
              header.substr(bar + 3))
        << header.substr(0, bar);
  }
  EXPECT_GT(blocks.size(), 15u);
}

TEST(Compare, MalformedLogsNameTheLineAndWhatIsWrong) {
  cases::expectEachRefused<observation::LogError>(
      std::string(QUORVANE_TESTS_DIR) + "/observation_errors.txt",
      [](std::istream& input) { observation::parseLog(input); });
}

} // namespace
