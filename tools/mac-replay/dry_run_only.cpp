// quorvane-mac-replay where there is no Mac to play on: the dry run alone.

#include "tools/mac-replay/tool.h"

#include <iostream>

int main(int argc, char* argv[]) {
  return macreplay::runTool(argc, argv, nullptr, 0, std::cout, std::cerr);
}
