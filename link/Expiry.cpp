#include "link/Expiry.h"

#include <cctype>
#include <cstdio>

namespace mc {

bool serviceExpired(const std::string& expiryText, const std::tm& today) {
  if (expiryText.size() < 10) return false;
  for (std::size_t i = 0; i < 10; ++i) {
    const bool dash = i == 4 || i == 7;
    if (dash ? expiryText[i] != '-' : !std::isdigit(static_cast<unsigned char>(expiryText[i]))) return false;
  }
  char todayText[48];
  std::snprintf(todayText, sizeof todayText, "%04d-%02d-%02d", today.tm_year + 1900, today.tm_mon + 1,
                today.tm_mday);
  return expiryText.compare(0, 10, todayText) < 0;
}

}  // namespace mc
