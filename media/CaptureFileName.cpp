#include "media/CaptureFileName.h"

#include <boost/date_time/posix_time/posix_time_io.hpp>
#include <locale>
#include <sstream>

namespace mc::media {

std::string captureTimeText(const boost::posix_time::ptime& localTime) {
  std::ostringstream text;
  // The stream's locale owns the facet.
  text.imbue(std::locale(std::locale::classic(), new boost::posix_time::time_facet("%Y-%m-%d-%H-%M-%S%F")));
  text << localTime;
  return text.str();
}

std::string snapshotFileName(const std::string& folder, const std::string& cameraId,
                             const boost::posix_time::ptime& localTime) {
  return folder + "/" + cameraId + "-" + captureTimeText(localTime) + ".jpeg";
}

}  // namespace mc::media
