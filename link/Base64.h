#pragma once
#include <string>
#include <string_view>

// Standard Base64 (A-Z a-z 0-9 + /, "=" padding to a multiple of 4, no line
// breaks), as the command payload carries it.

// False only for empty input (the result would be empty).
bool base64Encode(std::string_view bytes, std::string& text);

// Strict: an empty text is zero bytes; otherwise the length must be a
// multiple of 4 and at least 4, "=" may only be the last one or two
// characters, and every other character must be of the alphabet (no
// whitespace, no line breaks). `bytes` is left empty on failure.
bool base64Decode(std::string_view text, std::string& bytes);
