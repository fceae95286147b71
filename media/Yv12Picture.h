#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A planar YV12 picture of even width and height, planes back to back: luma
// (width x height, stride width), then Cr (V) and then Cb (U), each
// (width / 2) x (height / 2) with stride width / 2. This is the layout the
// decoder delivers and the snapshot, recording and display handlers read.
struct Yv12Layout {
  int width = 0;
  int height = 0;

  static constexpr std::size_t byteSize(int width, int height) {
    return width > 0 && height > 0 ? static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3 / 2 : 0;
  }
  std::size_t size() const { return byteSize(width, height); }
  std::size_t lumaSize() const { return static_cast<std::size_t>(width) * static_cast<std::size_t>(height); }
  int chromaWidth() const { return width / 2; }
  int chromaHeight() const { return height / 2; }
  std::size_t chromaSize() const {
    return static_cast<std::size_t>(chromaWidth()) * static_cast<std::size_t>(chromaHeight());
  }
  std::size_t crOffset() const { return lumaSize(); }
  std::size_t cbOffset() const { return lumaSize() + chromaSize(); }
};

// A read-only view of a YV12 picture owned elsewhere.
struct Yv12View {
  const std::uint8_t* data = nullptr;
  int width = 0;
  int height = 0;

  bool empty() const { return data == nullptr || width <= 0 || height <= 0; }
  Yv12Layout layout() const { return Yv12Layout{width, height}; }
  const std::uint8_t* luma() const { return data; }
  const std::uint8_t* cr() const { return data + layout().crOffset(); }
  const std::uint8_t* cb() const { return data + layout().cbOffset(); }
};

// An owned YV12 picture buffer.
class Yv12Picture {
 public:
  Yv12Picture() = default;
  Yv12Picture(int width, int height) { resize(width, height); }

  // Reallocates only when the size changes.
  void resize(int width, int height) {
    width_ = width;
    height_ = height;
    bytes_.resize(Yv12Layout::byteSize(width, height));
  }
  int width() const { return width_; }
  int height() const { return height_; }
  std::uint8_t* data() { return bytes_.data(); }
  const std::uint8_t* data() const { return bytes_.data(); }
  std::size_t size() const { return bytes_.size(); }
  Yv12View view() const { return Yv12View{bytes_.data(), width_, height_}; }
  std::uint8_t* luma() { return data(); }
  std::uint8_t* cr() { return data() + Yv12Layout{width_, height_}.crOffset(); }
  std::uint8_t* cb() { return data() + Yv12Layout{width_, height_}.cbOffset(); }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> bytes_;
};
