#pragma once
#include <string>
#include <string_view>

namespace mc {

// MD5 of `data` as 32 upper-case hexadecimal digits (login digests).
std::string md5Upper(std::string_view data);

}  // namespace mc
