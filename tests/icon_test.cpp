// The icon check catches each way Quorvane.icns can break: icons broken on the fly from the shipped
// one fail with what is wrong (the shipped one itself is checked by running quorvane-icon-check).

#include "tools/icon-check/icns.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <zlib.h>

namespace {

using icns::Bytes;
using icns::Members;

Members shipped() {
  std::ifstream file(QUORVANE_ICNS, std::ios::binary);
  std::string problem;
  std::optional<Members> members =
      icns::read(Bytes(std::istreambuf_iterator<char>(file), {}), problem);
  EXPECT_TRUE(members) << QUORVANE_ICNS << ": " << problem;
  return members.value_or(Members{});
}

Bytes& dataOf(Members& members, const std::string& type) {
  return std::find_if(members.begin(), members.end(),
                      [&](const auto& m) { return m.first == type; })
      ->second;
}

void putBigEndian(Bytes& data, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    data.push_back(value >> shift & 0xff);
}

// A white 1024 px PNG with the alpha that `alpha` gives each pixel.
Bytes pngOf(const std::function<unsigned char(int, int)>& alpha) {
  Bytes raw;
  for (int y = 0; y < 1024; ++y) {
    raw.push_back(0);
    for (int x = 0; x < 1024; ++x)
      raw.insert(raw.end(), {255, 255, 255, alpha(x, y)});
  }
  Bytes compressed(compressBound(raw.size()));
  uLongf size = compressed.size();
  EXPECT_EQ(compress(compressed.data(), &size, raw.data(), raw.size()), Z_OK);
  compressed.resize(size);
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  const auto chunk = [&](const std::string& type, const Bytes& body) {
    putBigEndian(png, body.size());
    Bytes typed(type.begin(), type.end());
    typed.insert(typed.end(), body.begin(), body.end());
    png.insert(png.end(), typed.begin(), typed.end());
    putBigEndian(png, crc32(0, typed.data(), typed.size()));
  };
  Bytes header;
  putBigEndian(header, 1024);
  putBigEndian(header, 1024);
  header.insert(header.end(), {8, 6, 0, 0, 0});
  chunk("IHDR", header);
  chunk("IDAT", compressed);
  chunk("IEND", {});
  return png;
}

using Lines = std::vector<std::string>;

TEST(Icon, MissingRepeatedOrMisfitMembersAreFound) {
  for (const icns::Kind& kind : icns::kinds) {
    Members members = shipped();
    std::erase_if(members, [&](const auto& member) { return member.first == kind.type; });
    EXPECT_EQ(
        icns::problems(icns::write(members)),
        Lines{std::string(kind.type) + " (" + std::to_string(kind.pixels) + " px) is missing"});
  }
  Members members = shipped();
  std::swap(dataOf(members, "ic07"), dataOf(members, "ic12"));
  std::swap(dataOf(members, "ic04"), dataOf(members, "ic05"));
  dataOf(members, "ic09") = {'n', 'o', 't'};
  members.push_back(members.front());
  EXPECT_EQ(
      icns::problems(icns::write(members)),
      (Lines{"ic04 (16 px) appears 2 times", "ic05 (32 px): 16 px", "ic07 (128 px): 64 x 64 px",
             "ic09 (512 px): not a PNG", "ic12 (64 px): 128 x 128 px"}));
  Bytes truncated = icns::write(shipped());
  truncated.resize(truncated.size() - 100);
  EXPECT_EQ(icns::problems(truncated), Lines{"not an icns file whose header gives its length"});
}

TEST(Icon, AnImageOffTheGridIsFound) {
  const auto inside = [](int x, int y, int from, int to) {
    return x >= from && x <= to && y >= from && y <= to;
  };
  // Opaque on the tile but for its rounded corners.
  const auto tile = [&](int x, int y) -> unsigned char {
    const bool corner = (x < 150 || x > 873) && (y < 150 || y > 873);
    return inside(x, y, 100, 923) && !corner ? 255 : 0;
  };
  const std::string off = "ic10 (1024 px) is off Apple's grid: alpha ";
  const struct {
    const char* what;
    std::function<unsigned char(int, int)> alpha;
    std::size_t problems; // how many of the grid's points it misses
    std::string first;
  } cases[] = {
      {"a tile on the grid", tile, 0, ""},
      {"the whole canvas", [](int, int) { return 255; }, 11, "255 at the canvas's top left corner"},
      {"a square tile", [&](int x, int y) { return inside(x, y, 100, 923) ? 255 : 0; }, 4,
       "255 at the tile's rounded top left corner"},
      {"a tile too small", [&](int x, int y) { return inside(x, y, 200, 823) ? 255 : 0; }, 4,
       "0 at the tile's left edge"},
      {"a see-through centre",
       [&](int x, int y) { return inside(x, y, 400, 600) ? 128 : tile(x, y); }, 1,
       "128 at the tile's centre"},
  };
  for (const auto& test : cases) {
    Members members = shipped();
    dataOf(members, "ic10") = pngOf(test.alpha);
    const Lines found = icns::problems(icns::write(members));
    ASSERT_EQ(found.size(), test.problems) << test.what;
    if (!found.empty()) {
      EXPECT_EQ(found.front(), off + test.first) << test.what;
    }
  }
}

} // namespace
