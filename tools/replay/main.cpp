// quorvane-replay: runs the program on the simulated platform, fed by a trace, and prints its log,
// or with --observe what a listen-only tap behind the program's own would see.

#include "tools/replay/trace.h"

#include <fstream>
#include <iostream>
#include <string_view>

namespace {

int usage(std::string_view problem) {
  std::cerr << "quorvane-replay: " << problem << "\nusage: quorvane-replay [--notes | --observe] "
            << "[TRACE | -]\n";
  return 2;
}

} // namespace

int main(int argc, char* argv[]) {
  bool notes = false, observe = false;
  std::string_view path;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--notes")
      notes = true;
    else if (argument == "--observe")
      observe = true;
    else if (argument.starts_with("--"))
      return usage("unknown option '" + std::string(argument) + "'");
    else if (!path.empty())
      return usage("more than one trace");
    else
      path = argument;
  }
  if (notes && observe) return usage("--notes and --observe do not go together");
  if (path.empty()) path = "-";

  std::ifstream file;
  if (path != "-") {
    file.open(std::string(path));
    if (!file) {
      std::cerr << "quorvane-replay: " << path << ": cannot open the trace\n";
      return 2;
    }
  }
  std::istream& input = path == "-" ? std::cin : file;

  replay::Trace trace;
  try {
    trace = replay::parseTrace(input);
  } catch (const replay::TraceError& error) {
    std::cerr << "quorvane-replay: " << error.line << ": " << error.what() << '\n';
    return 2;
  }
  for (const std::string& line : observe ? replay::observe(trace) : replay::replay(trace, notes))
    std::cout << line << '\n';
  return 0;
}
