#include "link/Base64.h"

#include <array>
#include <cstdint>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::int8_t kInvalid = -1;

constexpr std::array<std::int8_t, 256> makeDecodeTable() {
  std::array<std::int8_t, 256> table {};
  for (auto& entry : table) entry = kInvalid;
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
  return table;
}

constexpr std::array<std::int8_t, 256> kDecode = makeDecodeTable();

}  // namespace

bool base64Encode(std::string_view bytes, std::string& text) {
  text.clear();
  if (bytes.empty()) return false;
  text.resize((bytes.size() + 2) / 3 * 4);
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  char* out = text.data();
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t group = (std::uint32_t(in[i]) << 16) | (std::uint32_t(in[i + 1]) << 8) | in[i + 2];
    *out++ = kAlphabet[(group >> 18) & 63];
    *out++ = kAlphabet[(group >> 12) & 63];
    *out++ = kAlphabet[(group >> 6) & 63];
    *out++ = kAlphabet[group & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    std::uint32_t group = std::uint32_t(in[i]) << 16;
    if (rest == 2) group |= std::uint32_t(in[i + 1]) << 8;
    *out++ = kAlphabet[(group >> 18) & 63];
    *out++ = kAlphabet[(group >> 12) & 63];
    *out++ = rest == 2 ? kAlphabet[(group >> 6) & 63] : '=';
    *out++ = '=';
  }
  return true;
}

bool base64Decode(std::string_view text, std::string& bytes) {
  bytes.clear();
  if (text.empty()) return true;
  if (text.size() < 4 || text.size() % 4 != 0) return false;
  std::size_t padding = 0;
  if (text[text.size() - 1] == '=') padding = text[text.size() - 2] == '=' ? 2 : 1;
  const std::size_t symbols = text.size() - padding;

  std::string out;
  out.resize(text.size() / 4 * 3 - padding);
  char* write = out.data();
  std::uint32_t group = 0;
  int pending = 0;
  for (std::size_t i = 0; i < symbols; ++i) {
    const std::int8_t value = kDecode[static_cast<unsigned char>(text[i])];
    if (value == kInvalid) return false;  // "=" before the padding lands here too
    group = (group << 6) | static_cast<std::uint32_t>(value);
    if (++pending == 4) {
      *write++ = static_cast<char>(group >> 16);
      *write++ = static_cast<char>(group >> 8);
      *write++ = static_cast<char>(group);
      group = 0;
      pending = 0;
    }
  }
  if (pending == 3) {  // one "=": 2 bytes
    group <<= 6;
    *write++ = static_cast<char>(group >> 16);
    *write++ = static_cast<char>(group >> 8);
  } else if (pending == 2) {  // two "=": 1 byte
    group <<= 12;
    *write++ = static_cast<char>(group >> 16);
  }
  bytes.swap(out);
  return true;
}
