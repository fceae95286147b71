#pragma once
#include <cstdint>

namespace mc {

// Milliseconds of a monotonic clock, truncated to 32 bits: wraps after about
// 49.7 days. Differences computed as `uint32_t(now - then)` stay correct
// across the wrap.
std::uint32_t tickCount();

}  // namespace mc
