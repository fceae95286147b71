#pragma once
#include <cstdint>
#include <memory>
#include <mutex>

#include "media/IRenderTarget.h"
#include "media/IVideoDo.h"
#include "media/ZoomRect.h"

// Last handler of the video chain: draws each decoded picture into the pane
// window through its render target, the whole picture or, while the pane's
// `zooming` flag is on, the zoom rectangle. Until the first picture is shown
// it tells the pane with MSG_PANE_LOADED, which stops the waiting animation.
class CShowVideo : public IVideoDo {
 public:
  CShowVideo(SxtParamPtr cameraRecord, std::weak_ptr<IVideoState> videoState, mc::WindowHandle window,
             std::unique_ptr<IRenderTarget> renderer);
  ~CShowVideo() override;

  // Dispatch thread. Always true.
  bool Process(VideoDoContext* context) override;
  // After the dispatch thread is joined: closes the target, erases the
  // window, turns zooming off.
  bool Stop() override;

  // Called once, before the dispatch thread starts.
  void SetTrims(int top, int bottom, int left, int right);
  // Interface thread: one mouse wheel step at (x, y) in screen coordinates.
  void Zoom(int x, int y, std::int16_t delta);

  mc::media::ZoomRect zoomRect() const;

 private:
  const std::unique_ptr<IRenderTarget> renderer;
  const mc::WindowHandle window;
  std::atomic<int> shownWidth{0};  // size the target was opened for; 0 = reopen
  std::atomic<int> shownHeight{0};
  bool opened = false;
  DisplayTrims trims;

  mutable std::mutex zoomLock;
  mc::media::ZoomRect zoom;
};
