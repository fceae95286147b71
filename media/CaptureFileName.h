#pragma once
#include <boost/date_time/posix_time/ptime.hpp>
#include <string>

namespace mc::media {

// Local time as "%Y-%m-%d-%H-%M-%S%F": %F is a dot and six digits of the
// fraction of the second, left out when the fraction is zero.
std::string captureTimeText(const boost::posix_time::ptime& localTime);

// <folder>/<camera id>-<time text>.jpeg, e.g. Capture/1001-2015-03-01-12-30-45.123456.jpeg
std::string snapshotFileName(const std::string& folder, const std::string& cameraId,
                             const boost::posix_time::ptime& localTime);

}  // namespace mc::media
