#include "tools/icon-check/icns.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <zlib.h>

namespace icns {

namespace {

// Apple's grid on the 1024 px image: an opaque 824 px rounded-square tile from 100 to 923 on each
// axis, clear around it but for its shadow below.
struct Probe {
  int x, y;
  bool opaque;
  const char* where;
};
constexpr Probe grid[] = {
    {0, 0, false, "the canvas's top left corner"},
    {1023, 0, false, "the canvas's top right corner"},
    {0, 1023, false, "the canvas's bottom left corner"},
    {1023, 1023, false, "the canvas's bottom right corner"},
    {104, 104, false, "the tile's rounded top left corner"},
    {919, 104, false, "the tile's rounded top right corner"},
    {104, 919, false, "the tile's rounded bottom left corner"},
    {919, 919, false, "the tile's rounded bottom right corner"},
    {60, 512, false, "40 px left of the tile"},
    {963, 512, false, "40 px right of the tile"},
    {512, 60, false, "40 px above the tile"},
    {512, 512, true, "the tile's centre"},
    {104, 512, true, "the tile's left edge"},
    {919, 512, true, "the tile's right edge"},
    {512, 104, true, "the tile's top edge"},
    {512, 919, true, "the tile's bottom edge"},
};

std::uint32_t bigEndian(const Bytes& data, std::size_t at) {
  return std::uint32_t{data[at]} << 24 | std::uint32_t{data[at + 1]} << 16 |
         std::uint32_t{data[at + 2]} << 8 | data[at + 3];
}

void putBigEndian(Bytes& data, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    data.push_back(value >> shift & 0xff);
}

// The width of an ARGB member: "ARGB", then 4 square planes in runs (n < 128: n + 1 literal bytes;
// n >= 128: the next byte n - 125 times).
std::optional<int> argbWidth(const Bytes& data) {
  if (data.size() < 4 || std::string(data.begin(), data.begin() + 4) != "ARGB") return std::nullopt;
  std::size_t unpacked = 0;
  for (std::size_t at = 4; at < data.size();) {
    unsigned n = data[at];
    std::size_t step = n < 128 ? n + 2 : 2;
    if (at + step > data.size()) return std::nullopt;
    unpacked += n < 128 ? n + 1 : n - 125;
    at += step;
  }
  for (int width = 1; width <= 1024; ++width)
    if (4u * width * width == unpacked) return width;
  return std::nullopt;
}

struct Png {
  int width = 0, height = 0;
  bool rgba8 = false; // 8-bit RGBA without interlacing, the only kind this check decodes
  Bytes compressed;
};

std::optional<Png> readPng(const Bytes& data) {
  static const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (data.size() < 33 || !std::equal(signature.begin(), signature.end(), data.begin()))
    return std::nullopt;
  Png png;
  for (std::size_t at = 8; at + 12 <= data.size();) {
    std::uint32_t length = bigEndian(data, at);
    if (length > data.size() - at - 12) return std::nullopt;
    std::string type(data.begin() + at + 4, data.begin() + at + 8);
    auto body = data.begin() + at + 8;
    if (type == "IHDR") {
      png.width = bigEndian(data, at + 8);
      png.height = bigEndian(data, at + 12);
      png.rgba8 = body[8] == 8 && body[9] == 6 && body[12] == 0;
    } else if (type == "IDAT") {
      png.compressed.insert(png.compressed.end(), body, body + length);
    }
    at += 12 + length;
  }
  return png;
}

// The alpha of every pixel of an 8-bit RGBA PNG, row by row.
std::optional<Bytes> alphaOf(const Png& png) {
  std::size_t stride = std::size_t(png.width) * 4;
  Bytes raw((stride + 1) * png.height);
  uLongf size = raw.size();
  if (uncompress(raw.data(), &size, png.compressed.data(), png.compressed.size()) != Z_OK ||
      size != raw.size())
    return std::nullopt;
  Bytes previous(stride), row(stride), alpha;
  for (int y = 0; y < png.height; ++y) {
    const unsigned char* line = &raw[y * (stride + 1)];
    for (std::size_t x = 0; x < stride; ++x) {
      int left = x >= 4 ? row[x - 4] : 0, up = previous[x], corner = x >= 4 ? previous[x - 4] : 0;
      int predicted = 0;
      switch (line[0]) {
      case 0: break;
      case 1: predicted = left; break;
      case 2: predicted = up; break;
      case 3: predicted = (left + up) / 2; break;
      case 4: {
        int p = left + up - corner, pa = std::abs(p - left), pb = std::abs(p - up),
            pc = std::abs(p - corner);
        predicted = pa <= pb && pa <= pc ? left : pb <= pc ? up : corner;
        break;
      }
      default: return std::nullopt;
      }
      row[x] = static_cast<unsigned char>(line[1 + x] + predicted);
    }
    for (std::size_t x = 3; x < stride; x += 4)
      alpha.push_back(row[x]);
    previous = row;
  }
  return alpha;
}

} // namespace

std::optional<Members> read(const Bytes& file, std::string& problem) {
  if (file.size() < 8 || std::string(file.begin(), file.begin() + 4) != "icns" ||
      bigEndian(file, 4) != file.size()) {
    problem = "not an icns file whose header gives its length";
    return std::nullopt;
  }
  Members members;
  for (std::size_t at = 8; at < file.size();) {
    std::uint32_t length = at + 8 <= file.size() ? bigEndian(file, at + 4) : 0;
    if (length < 8 || length > file.size() - at) {
      problem = "member at byte " + std::to_string(at) + " runs past the file's end";
      return std::nullopt;
    }
    members.emplace_back(std::string(file.begin() + at, file.begin() + at + 4),
                         Bytes(file.begin() + at + 8, file.begin() + at + length));
    at += length;
  }
  return members;
}

Bytes write(const Members& members) {
  Bytes body;
  for (const auto& [type, data] : members) {
    body.insert(body.end(), type.begin(), type.end());
    putBigEndian(body, data.size() + 8);
    body.insert(body.end(), data.begin(), data.end());
  }
  Bytes file = {'i', 'c', 'n', 's'};
  putBigEndian(file, body.size() + 8);
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

std::vector<std::string> problems(const Bytes& file) {
  std::string problem;
  const std::optional<Members> members = read(file, problem);
  if (!members) return {problem};
  std::vector<std::string> found;
  for (const Kind& kind : kinds) {
    auto count = std::count_if(members->begin(), members->end(),
                               [&](const auto& member) { return member.first == kind.type; });
    std::string name = std::string(kind.type) + " (" + std::to_string(kind.pixels) + " px)";
    if (count != 1) {
      found.push_back(name +
                      (count ? " appears " + std::to_string(count) + " times" : " is missing"));
      continue;
    }
    const Bytes& data = std::find_if(members->begin(), members->end(), [&](const auto& member) {
                          return member.first == kind.type;
                        })->second;
    if (kind.argb) {
      auto width = argbWidth(data);
      if (width != kind.pixels)
        found.push_back(name + ": " + (width ? std::to_string(*width) + " px" : "not ARGB"));
      continue;
    }
    auto png = readPng(data);
    if (!png) {
      found.push_back(name + ": not a PNG");
    } else if (png->width != kind.pixels || png->height != kind.pixels) {
      found.push_back(name + ": " + std::to_string(png->width) + " x " +
                      std::to_string(png->height) + " px");
    } else if (kind.pixels == 1024) {
      auto alpha = png->rgba8 ? alphaOf(*png) : std::nullopt;
      if (!alpha) {
        found.push_back(name + ": not an 8-bit RGBA PNG that inflates");
        continue;
      }
      for (const Probe& probe : grid) {
        int value = (*alpha)[probe.y * 1024 + probe.x];
        if (value != (probe.opaque ? 255 : 0))
          found.push_back(name + " is off Apple's grid: alpha " + std::to_string(value) + " at " +
                          probe.where);
      }
    }
  }
  return found;
}

} // namespace icns
