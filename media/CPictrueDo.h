#pragma once
#include <functional>
#include <string>

#include <boost/date_time/posix_time/ptime.hpp>

#include "media/IVideoDo.h"

// Third handler of the video chain: when the pane asked for a snapshot
// (`snapshotRequested`), writes the frame's decoded picture to a JPEG file in
// the capture folder and clears the request. Runs on the dispatch thread.
class CPictrueDo : public IVideoDo {
 public:
  using LocalClock = std::function<boost::posix_time::ptime()>;

  // `clock` gives the local time with microseconds (default: the system's).
  CPictrueDo(SxtParamPtr cameraRecord, std::weak_ptr<IVideoState> videoState, std::string captureFolder,
             LocalClock clock = {});

  // False when the file cannot be created: the request stays pending and the
  // display is skipped for this frame.
  bool Process(VideoDoContext* context) override;

  // The file the last snapshot went to (empty before the first).
  std::string lastFile() const;

 private:
  const std::string captureFolder;
  const LocalClock clock;
  bool openFailureLogged = false;
  mutable std::mutex lastFileLock;
  std::string lastFile_;
};
