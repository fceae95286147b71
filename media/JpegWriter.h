#pragma once
#include <cstdio>
#include <string>

#include "media/Yv12Picture.h"

namespace mc::media {

inline constexpr int kSnapshotQuality = 90;

// Compresses a YV12 picture into `file` as a baseline 4:2:0 YCbCr JPEG
// (quality 90, optimised Huffman tables), straight from the planes through
// libjpeg's raw-data interface: no colour conversion. False with `error`
// set to libjpeg's message when compression fails.
bool writeYv12Jpeg(const Yv12View& picture, std::FILE* file, std::string& error);

}  // namespace mc::media
