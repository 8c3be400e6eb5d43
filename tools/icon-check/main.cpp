// quorvane-icon-check: whether an icns file holds every member Quorvane.app's icon needs, each the
// size its type says, with the 1024 px image on Apple's grid. Run it on a newly rendered icon.

#include "tools/icon-check/icns.h"

#include <fstream>
#include <iostream>
#include <iterator>

int main(int argc, char* argv[]) {
  if (argc < 2) {
    std::cerr << "usage: quorvane-icon-check ICNS...\n";
    return 2;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    std::ifstream file(argv[i], std::ios::binary);
    if (!file) {
      std::cerr << "quorvane-icon-check: " << argv[i] << ": cannot open it\n";
      return 2;
    }
    const icns::Bytes bytes(std::istreambuf_iterator<char>(file), {});
    for (const std::string& problem : icns::problems(bytes)) {
      std::cerr << argv[i] << ": " << problem << '\n';
      status = 1;
    }
  }
  return status;
}
