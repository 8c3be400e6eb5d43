// Every trace under traces/ is replayed and its log compared, line for line, with the .log beside
// it.

#include "tools/replay/trace.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> traceNames() {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(QUORVANE_TRACES_DIR))
    if (entry.path().extension() == ".trace") names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string contents(const fs::path& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

class Trace : public testing::TestWithParam<std::string> {};

TEST_P(Trace, ReplaysToItsLog) {
  const fs::path base = fs::path(QUORVANE_TRACES_DIR) / GetParam();
  std::ifstream trace(base.string() + ".trace");
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

} // namespace
