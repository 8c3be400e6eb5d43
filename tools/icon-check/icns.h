#pragma once

// Quorvane.icns as macOS reads it: which members it holds, and what is wrong with them.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace icns {

using Bytes = std::vector<unsigned char>;
// Each member's four-letter type and its data, in file order.
using Members = std::vector<std::pair<std::string, Bytes>>;

// Every member the icon needs: 16, 32, 128, 256 and 512 points at 1x and 2x. ic04 and ic05 hold
// ARGB planes packed in runs (Finder garbles PNG at these sizes), the others PNG.
struct Kind {
  const char* type;
  int pixels;
  bool argb;
};
inline constexpr Kind kinds[] = {{"ic04", 16, true},   {"ic05", 32, true},   {"ic07", 128, false},
                                 {"ic08", 256, false}, {"ic09", 512, false}, {"ic10", 1024, false},
                                 {"ic11", 32, false},  {"ic12", 64, false},  {"ic13", 256, false},
                                 {"ic14", 512, false}};

// The members of an icns file; none, and what is wrong, when it is not one.
std::optional<Members> read(const Bytes& file, std::string& problem);
Bytes write(const Members& members);

// Everything wrong with an icns file, one line each: a member missing or repeated, an image not
// the size its type says, a 1024 px image off Apple's grid. None for a whole icon on the grid.
std::vector<std::string> problems(const Bytes& file);

} // namespace icns
