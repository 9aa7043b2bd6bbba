#include "demohost/png.h"

#include <array>
#include <cstdio>

namespace tolvane::demohost {

namespace {

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t x) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(x >> shift));
}

void chunk(std::vector<std::uint8_t>& out, const char type[4], const std::vector<std::uint8_t>& data) {
  put32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  put32(out, crc32(out.data() + start, out.size() - start));
}

}  // namespace

Picture captureWindow(HWND window) {
  Picture picture;
  // The inner area: without a window manager nobody draws the frame.
  RECT r{};
  if (!GetClientRect(window, &r)) return picture;
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  picture.width = r.right - r.left;
  picture.height = r.bottom - r.top;
  if (picture.width <= 0 || picture.height <= 0) return Picture{};
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, picture.width, picture.height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const auto* bgra = static_cast<const std::uint8_t*>(bits);
    picture.rgb.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
    for (std::size_t i = 0, n = static_cast<std::size_t>(picture.width) * picture.height; i < n; ++i) {
      picture.rgb[i * 3] = bgra[i * 4 + 2];
      picture.rgb[i * 3 + 1] = bgra[i * 4 + 1];
      picture.rgb[i * 3 + 2] = bgra[i * 4];
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
  } else {
    picture = Picture{};
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return picture;
}

std::vector<std::uint8_t> encodePng(const Picture& picture) {
  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  put32(header, static_cast<std::uint32_t>(picture.width));
  put32(header, static_cast<std::uint32_t>(picture.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
  chunk(out, "IHDR", header);

  // The image data: each row led by filter type 0, in a zlib stream of stored blocks.
  std::vector<std::uint8_t> raw;
  const std::size_t row = static_cast<std::size_t>(picture.width) * 3;
  raw.reserve((row + 1) * picture.height);
  for (int y = 0; y < picture.height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), picture.rgb.begin() + static_cast<std::ptrdiff_t>(y * row),
               picture.rgb.begin() + static_cast<std::ptrdiff_t>((y + 1) * row));
  }
  std::vector<std::uint8_t> zlib = {0x78, 0x01};
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (const std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  std::size_t offset = 0;
  do {
    const std::size_t size = std::min<std::size_t>(65535, raw.size() - offset);
    const bool last = offset + size == raw.size();
    zlib.push_back(last ? 1 : 0);
    zlib.push_back(static_cast<std::uint8_t>(size & 0xFF));
    zlib.push_back(static_cast<std::uint8_t>(size >> 8));
    zlib.push_back(static_cast<std::uint8_t>(~size & 0xFF));
    zlib.push_back(static_cast<std::uint8_t>((~size >> 8) & 0xFF));
    zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(offset),
                raw.begin() + static_cast<std::ptrdiff_t>(offset + size));
    offset += size;
  } while (offset < raw.size());
  put32(zlib, (b << 16) | a);
  chunk(out, "IDAT", zlib);
  chunk(out, "IEND", {});
  return out;
}

bool writePng(const Picture& picture, const std::wstring& path) {
  if (picture.width <= 0 || picture.height <= 0) return false;
  const std::vector<std::uint8_t> bytes = encodePng(picture);
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace tolvane::demohost
