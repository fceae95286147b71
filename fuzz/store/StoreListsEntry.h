#pragma once
#include <cstddef>
#include <cstdint>

namespace mc::fuzz {

// Server camera and node lists, as any bytes (fields separated by byte 0x01:
// nine camera lists, then five node lists), synchronised into a fresh store.
// Whatever the texts hold (quotes, statement fragments, NUL bytes, numbers of
// any form), the store must keep exactly what was listed, field for field, or
// refuse the row; no text may reach the statement outside its literal, and a
// second synchronisation with the same lists must change nothing.
int storeListsOneInput(const std::uint8_t* data, std::size_t size);

}  // namespace mc::fuzz
