// The replay, data-driven: every trace under traces/ replays to the .log beside it, line for line;
// where a .notes file stands beside it too, the notes of a replay with notes are those lines, and
// where an .observed file does, it is what an observer behind our tap would see. Every malformed
// trace of trace_errors.txt is refused with its line and message.

#include "tests/error_cases.h"
#include "tools/replay/trace.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string_view>

namespace {

namespace fs = std::filesystem;

const fs::path tests = QUORVANE_TESTS_DIR;

// A trace's name and the kind of output expected of it: log, notes or observed.
using Expectation = std::pair<std::string, std::string>;

std::vector<Expectation> expectations() {
  std::vector<Expectation> found;
  for (const fs::directory_entry& entry : fs::directory_iterator(tests / "traces"))
    if (entry.path().extension() == ".trace")
      for (const char* kind : {"log", "notes", "observed"})
        if (exists(fs::path(entry.path()).replace_extension(kind)))
          found.emplace_back(entry.path().stem().string(), kind);
  std::sort(found.begin(), found.end());
  return found;
}

std::string contents(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::vector<std::string> output(const replay::Trace& trace, const std::string& kind) {
  if (kind == "observed") return replay::observe(trace);
  std::vector<std::string> lines = replay::replay(trace, kind == "notes");
  if (kind == "notes")
    std::erase_if(lines, [](const std::string& line) {
      return !line.substr(line.find(' ') + 1).starts_with("note ");
    });
  return lines;
}

class Trace : public testing::TestWithParam<Expectation> {};

TEST_P(Trace, ReplaysAsExpected) {
  const auto& [name, kind] = GetParam();
  const fs::path base = tests / "traces" / name;
  std::istringstream trace(contents(base.string() + ".trace"));
  std::string text;
  for (const std::string& line : output(replay::parseTrace(trace), kind))
    text += line + '\n';
  EXPECT_EQ(text, contents(base.string() + "." + kind));
}

INSTANTIATE_TEST_SUITE_P(Traces, Trace, testing::ValuesIn(expectations()),
                         [](const testing::TestParamInfo<Expectation>& info) {
                           std::string name = info.param.first + "_" + info.param.second;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

TEST(MalformedTraces, NameTheLineAndWhatIsWrong) {
  cases::expectEachRefused<replay::TraceError>(
      tests / "trace_errors.txt", [](std::istream& input) { replay::parseTrace(input); });
}

} // namespace
