// The replay, data-driven: every trace under traces/ replays to the .log beside it, line for line,
// and every malformed trace of trace_errors.txt is refused with its line and message.

#include "tools/replay/trace.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string_view>

namespace {

namespace fs = std::filesystem;

const fs::path tests = QUORVANE_TESTS_DIR;

std::vector<std::string> traceNames() {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(tests / "traces"))
    if (entry.path().extension() == ".trace") names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string contents(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

class Trace : public testing::TestWithParam<std::string> {};

TEST_P(Trace, ReplaysToItsLog) {
  const fs::path base = tests / "traces" / GetParam();
  std::istringstream trace(contents(base.string() + ".trace"));
  std::string log;
  for (const std::string& line : replay::replay(replay::parseTrace(trace)))
    log += line + '\n';
  EXPECT_EQ(log, contents(base.string() + ".log"));
}

INSTANTIATE_TEST_SUITE_P(Traces, Trace, testing::ValuesIn(traceNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

TEST(MalformedTraces, NameTheLineAndWhatIsWrong) {
  std::istringstream cases(contents(tests / "trace_errors.txt"));
  int checked = 0;
  for (std::string entry; std::getline(cases, entry); ++checked) {
    if (entry.starts_with('#')) continue;
    const std::size_t first = entry.find(" | "), second = entry.rfind(" | ");
    // Built piece by piece: GCC 12's -Wrestrict at -O3 flags an in-place replace of "\\n" by a
    // one-character literal, a false positive (GCC PR 105329).
    std::string trace;
    std::string_view rest = std::string_view(entry).substr(first + 3, second - first - 3);
    for (std::size_t at; (at = rest.find("\\n")) != std::string_view::npos;
         rest.remove_prefix(at + 2))
      trace.append(rest.substr(0, at)).push_back('\n');
    trace.append(rest);
    std::istringstream input(trace);
    try {
      replay::parseTrace(input);
      ADD_FAILURE() << "accepted: " << entry;
    } catch (const replay::TraceError& error) {
      EXPECT_EQ(std::to_string(error.line) + ": " + error.what(),
                entry.substr(0, first) + ": " + entry.substr(second + 3));
    }
  }
  EXPECT_GT(checked, 20);
}

} // namespace
