#pragma once
// A small GIF89a writer for the skin's animations: palette images, LZW
// compressed, looping, with one transparent colour (index 0).
#include <QByteArray>
#include <QColor>
#include <QString>
#include <unordered_map>
#include <vector>

namespace skin {

struct GifFrame {
  std::vector<unsigned char> pixels;  // palette indices, row by row
  int delayCs = 10;                   // hundredths of a second
};

class GifWriter {
 public:
  // `palette` holds at most 256 colours; its size is padded to a power of two.
  GifWriter(int width, int height, std::vector<QColor> palette) : width_(width), height_(height) {
    bits_ = 1;
    while ((1 << bits_) < static_cast<int>(palette.size())) ++bits_;
    palette.resize(static_cast<std::size_t>(1) << bits_, Qt::black);
    palette_ = std::move(palette);
  }

  QByteArray encode(const std::vector<GifFrame>& frames) const {
    QByteArray out("GIF89a");
    put16(out, width_);
    put16(out, height_);
    out.append(char(0x80 | ((bits_ - 1) << 4) | (bits_ - 1))).append(char(0)).append(char(0));
    for (const QColor& c : palette_) out.append(char(c.red())).append(char(c.green())).append(char(c.blue()));
    out.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (const GifFrame& frame : frames) {
      out.append("\x21\xF9\x04\x09", 4);  // restore to background, transparent index present
      put16(out, frame.delayCs);
      out.append(char(0)).append(char(0));
      out.append(char(0x2C));
      put16(out, 0);
      put16(out, 0);
      put16(out, width_);
      put16(out, height_);
      out.append(char(0));
      const int minCodeSize = std::max(2, bits_);
      out.append(char(minCodeSize));
      const QByteArray data = lzw(frame.pixels, minCodeSize);
      for (qsizetype i = 0; i < data.size(); i += 255) {
        const QByteArray block = data.mid(i, 255);
        out.append(char(block.size()));
        out.append(block);
      }
      out.append(char(0));
    }
    out.append(char(0x3B));
    return out;
  }

 private:
  static void put16(QByteArray& out, int v) { out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); }

  // Variable-width LZW as GIF uses it: the table restarts with a clear code
  // when it reaches 4096 entries.
  static QByteArray lzw(const std::vector<unsigned char>& pixels, int minCodeSize) {
    QByteArray out;
    const int clear = 1 << minCodeSize, end = clear + 1;
    int width = minCodeSize + 1, next = end + 1;
    std::uint32_t buffer = 0;
    int count = 0;
    auto put = [&](int code) {
      buffer |= static_cast<std::uint32_t>(code) << count;
      count += width;
      while (count >= 8) {
        out.append(char(buffer & 0xFF));
        buffer >>= 8;
        count -= 8;
      }
    };
    std::unordered_map<std::uint32_t, int> table;
    put(clear);
    if (pixels.empty()) {
      put(end);
      if (count) out.append(char(buffer & 0xFF));
      return out;
    }
    int prefix = pixels[0];
    for (std::size_t i = 1; i < pixels.size(); ++i) {
      const int c = pixels[i];
      const std::uint32_t key = (static_cast<std::uint32_t>(prefix) << 8) | static_cast<std::uint32_t>(c);
      if (const auto it = table.find(key); it != table.end()) {
        prefix = it->second;
        continue;
      }
      put(prefix);
      if (next < 4096) {
        table.emplace(key, next);
        if (next == (1 << width) && width < 12) ++width;
        ++next;
      } else {
        put(clear);
        table.clear();
        width = minCodeSize + 1;
        next = end + 1;
      }
      prefix = c;
    }
    put(prefix);
    put(end);
    if (count) out.append(char(buffer & 0xFF));
    return out;
  }

  int width_;
  int height_;
  int bits_;
  std::vector<QColor> palette_;
};

}  // namespace skin
