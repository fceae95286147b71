#include "app/update/UpdateRequest.h"

#include <algorithm>

std::optional<UpdateRequest> parseUpdateRequest(const std::string& argument) {
  // The address may itself hold "%" (escapes), so the last two fields are cut
  // from the end.
  const std::size_t last = argument.rfind('%');
  if (last == std::string::npos || last == 0) return std::nullopt;
  const std::size_t middle = argument.rfind('%', last - 1);
  if (middle == std::string::npos) return std::nullopt;
  UpdateRequest request{argument.substr(0, middle), argument.substr(middle + 1, last - middle - 1),
                        argument.substr(last + 1)};
  if (request.url.empty() || request.version.empty() || request.settingsFile.empty()) return std::nullopt;
  const auto startsWith = [&](const char* prefix) { return request.url.rfind(prefix, 0) == 0; };
  if (!startsWith("http://") && !startsWith("https://")) return std::nullopt;
  const auto isControl = [](unsigned char c) { return c < 0x20 || c == 0x7F; };
  if (std::any_of(argument.begin(), argument.end(), isControl)) return std::nullopt;
  return request;
}
