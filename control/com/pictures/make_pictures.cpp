// Writes the control's two pictures as BMP files: the design-time picture (24 x 22, 16 colours) and
// the toolbox picture (16 x 15, 8 bits per pixel with a 20-entry palette). Both show the same motif:
// a raised light-grey push button with a red diamond in the middle. The committed .bmp files are this
// program's output; a test rebuilds them and compares bytes.
//
//   make_pictures OUTPUT_DIR
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Rgb {
  std::uint8_t r, g, b;
};

// The 16 standard colours of a 4-bit display, in their usual order.
const std::vector<Rgb> kPalette16 = {
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},   {0, 0, 128},   {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

// The 20 static colours of a 256-colour display: the 16 above with four extra system colours.
const std::vector<Rgb> kPalette20 = {
    {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
    {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};

enum class Ink { Black, White, LightGrey, DarkGrey, Red };

std::uint8_t indexOf(const std::vector<Rgb>& palette, Ink ink) {
  Rgb want{};
  switch (ink) {
    case Ink::Black: want = {0, 0, 0}; break;
    case Ink::White: want = {255, 255, 255}; break;
    case Ink::LightGrey: want = {192, 192, 192}; break;
    case Ink::DarkGrey: want = {128, 128, 128}; break;
    case Ink::Red: want = {255, 0, 0}; break;
  }
  for (std::size_t i = 0; i < palette.size(); ++i) {
    if (palette[i].r == want.r && palette[i].g == want.g && palette[i].b == want.b) {
      return static_cast<std::uint8_t>(i);
    }
  }
  std::fprintf(stderr, "make_pictures: colour missing from palette\n");
  std::exit(1);
}

// The motif at (x, y), top row 0: outline, highlight on the top and left inner edges, shadow on the
// bottom and right inner edges, a diamond of `diamond` pixels across centred at (cx, cy).
Ink motif(int width, int height, int diamond, int cx, int cy, int x, int y) {
  if (x == 0 || y == 0 || x == width - 1 || y == height - 1) return Ink::Black;
  if (x == width - 2 || y == height - 2) return Ink::DarkGrey;
  if (x == 1 || y == 1) return Ink::White;
  if (std::abs(x - cx) + std::abs(y - cy) <= diamond / 2) return Ink::Red;
  return Ink::LightGrey;
}

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

std::vector<std::uint8_t> bitmap(int width, int height, int bits, const std::vector<Rgb>& palette, int diamond,
                                 int cx, int cy) {
  const std::uint32_t stride = static_cast<std::uint32_t>(((width * bits + 31) / 32) * 4);
  const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(height);
  const std::uint32_t headers = 14 + 40 + 4 * static_cast<std::uint32_t>(palette.size());
  std::vector<std::uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  put32(out, headers + imageSize);
  put32(out, 0);
  put32(out, headers);
  put32(out, 40);
  put32(out, static_cast<std::uint32_t>(width));
  put32(out, static_cast<std::uint32_t>(height));  // bottom-up rows
  put16(out, 1);
  put16(out, static_cast<std::uint32_t>(bits));
  put32(out, 0);  // BI_RGB
  put32(out, imageSize);
  put32(out, 2835);  // 72 dpi
  put32(out, 2835);
  put32(out, static_cast<std::uint32_t>(palette.size()));
  put32(out, 0);
  for (const Rgb& c : palette) {
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
  for (int row = height - 1; row >= 0; --row) {
    std::vector<std::uint8_t> line(stride, 0);
    for (int x = 0; x < width; ++x) {
      const std::uint8_t index = indexOf(palette, motif(width, height, diamond, cx, cy, x, row));
      if (bits == 4) {
        line[static_cast<std::size_t>(x / 2)] |= static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
      } else {
        line[static_cast<std::size_t>(x)] = index;
      }
    }
    out.insert(out.end(), line.begin(), line.end());
  }
  return out;
}

bool write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_pictures OUTPUT_DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  // 24 x 22: the diamond spans columns 4..18 and rows 3..17.
  const bool designOk = write(dir + "/design.bmp", bitmap(24, 22, 4, kPalette16, 15, 11, 10));
  // 16 x 15: the same motif with a 9-pixel diamond.
  const bool toolboxOk = write(dir + "/toolbox.bmp", bitmap(16, 15, 8, kPalette20, 9, 7, 7));
  if (!designOk || !toolboxOk) {
    std::fprintf(stderr, "make_pictures: cannot write to %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
