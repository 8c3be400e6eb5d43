// quorvane-replay: runs the program on the simulated platform, fed by a trace, and prints its log.

#include "tools/replay/trace.h"

#include <fstream>
#include <iostream>
#include <string_view>

int main(int argc, char* argv[]) {
  if (argc > 2) {
    std::cerr << "usage: quorvane-replay [TRACE | -]\n";
    return 2;
  }
  const std::string_view path = argc == 2 ? argv[1] : "-";
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
  for (const std::string& line : replay::replay(trace))
    std::cout << line << '\n';
  return 0;
}
