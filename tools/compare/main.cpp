// quorvane-compare: tells whether an observed session agrees with the expected one.
// Exit status: 0 they agree, 1 they disagree (the first difference is printed), 2 bad input.

#include "tools/compare/observation.h"

#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* usage = "usage: quorvane-compare EXPECTED OBSERVED [--tolerance SECONDS]";

int refuse(const std::string& what) {
  std::cerr << "quorvane-compare: " << what << '\n';
  return 2;
}

} // namespace

int main(int argc, char* argv[]) {
  std::vector<std::string> paths;
  double tolerance = observation::defaultTolerance;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--tolerance") {
      if (i + 1 == argc) return refuse("--tolerance needs SECONDS\n" + std::string(usage));
      const std::optional<double> seconds = observation::parseSeconds(argv[++i]);
      if (!seconds)
        return refuse("bad tolerance '" + std::string(argv[i]) + "': seconds, like 0.05");
      tolerance = *seconds;
    } else if (argument.starts_with("-")) {
      return refuse("unknown argument '" + std::string(argument) + "'\n" + usage);
    } else {
      paths.emplace_back(argument);
    }
  }
  if (paths.size() != 2) {
    std::cerr << usage << '\n';
    return 2;
  }

  std::vector<observation::Line> logs[2];
  for (int i = 0; i < 2; ++i) {
    std::ifstream file(paths[i]);
    if (!file) return refuse(paths[i] + ": cannot open the log");
    try {
      logs[i] = observation::parseLog(file);
    } catch (const observation::LogError& error) {
      return refuse(paths[i] + ":" + std::to_string(error.line) + ": " + error.what());
    }
  }

  const auto disagreement = observation::compare(logs[0], logs[1], tolerance);
  if (!disagreement) {
    std::cout << "agree\n";
    return 0;
  }
  std::cout << observation::describe(*disagreement, logs[0], logs[1], paths[0], paths[1]);
  return 1;
}
