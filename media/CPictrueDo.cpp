#include "media/CPictrueDo.h"

#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/OLog.h"
#include "media/CaptureFileName.h"
#include "media/JpegWriter.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

CPictrueDo::CPictrueDo(SxtParamPtr cameraRecord, std::weak_ptr<IVideoState> videoState, std::string captureFolder,
                       LocalClock clock)
    : IVideoDo(kPictrueDo, std::move(cameraRecord), std::move(videoState)),
      captureFolder(std::move(captureFolder)),
      clock(clock ? std::move(clock) : LocalClock([] { return boost::posix_time::microsec_clock::local_time(); })) {}

bool CPictrueDo::Process(VideoDoContext* context) {
  std::lock_guard guard(lock);
  const std::shared_ptr<IVideoState> state = videoState.lock();
  if (!state || !state->snapshotRequested) {
    openFailureLogged = false;
    return true;
  }
  const Yv12View picture = context ? context->pictureView() : Yv12View{};
  if (picture.empty()) return true;  // nothing decoded yet: the request waits

  const std::string path =
      mc::media::snapshotFileName(captureFolder, cameraRecord ? cameraRecord->id : std::string(), clock());
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    // Retried on every frame while the request stands: logged once.
    if (!openFailureLogged) LOG_ERROR("cannot create the snapshot %s: %s", path.c_str(), std::strerror(errno));
    openFailureLogged = true;
    return false;
  }
  openFailureLogged = false;
  state->snapshotRequested = false;

  std::string error;
  bool written = mc::media::writeYv12Jpeg(picture, file.get(), error);
  if (std::fclose(file.release()) != 0 && written) {
    error = std::strerror(errno);
    written = false;
  }
  if (!written) {
    // A half-written JPEG is worse than none.
    LOG_ERROR("cannot write the snapshot %s: %s", path.c_str(), error.c_str());
    std::remove(path.c_str());
    return true;
  }
  std::lock_guard lastGuard(lastFileLock);
  lastFile_ = path;
  return true;
}

std::string CPictrueDo::lastFile() const {
  std::lock_guard guard(lastFileLock);
  return lastFile_;
}
