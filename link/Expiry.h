#pragma once
#include <ctime>
#include <string>

namespace mc {

// Whether a camera's service has expired by `today` (local date). The expiry
// text from the server's expiredList starts with a date "YYYY-MM-DD" (a time
// may follow); the service ends at the end of that day. An empty or unreadable
// text never expires a camera.
bool serviceExpired(const std::string& expiryText, const std::tm& today);

}  // namespace mc
