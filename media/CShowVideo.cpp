#include "media/CShowVideo.h"

#include "common/Messages.h"

CShowVideo::CShowVideo(SxtParamPtr cameraRecord, std::weak_ptr<IVideoState> videoState, mc::WindowHandle window,
                       std::unique_ptr<IRenderTarget> renderer)
    : IVideoDo(kShowVideo, std::move(cameraRecord), std::move(videoState)),
      renderer(std::move(renderer)),
      window(window) {}

CShowVideo::~CShowVideo() = default;

void CShowVideo::SetTrims(int top, int bottom, int left, int right) {
  trims = DisplayTrims{top, bottom, left, right};
  if (renderer) renderer->SetTrims(trims);
}

bool CShowVideo::Process(VideoDoContext* context) {
  if (!opened) mc::postMessage(window, mc::msg::MSG_PANE_LOADED);
  if (!context || !context->picture || context->width == 0 || context->height == 0 || !renderer) return true;

  const int width = static_cast<int>(context->width);
  const int height = static_cast<int>(context->height);
  if (width != shownWidth || height != shownHeight) {
    shownWidth = width;
    shownHeight = height;
    if (opened) renderer->Close();
    renderer->Open(IRenderTarget::kFormatYv12, window, width, height, trims);
    {
      std::lock_guard guard(zoomLock);
      zoom = mc::media::ZoomRect::whole(width, height);
    }
    // Marked open whatever Open said: a failed target shows nothing, and the
    // failing Present below asks for a fresh open with the next picture.
    opened = true;
  }

  renderer->Render(context->picture, width, height);

  const std::shared_ptr<IVideoState> state = videoState.lock();
  if (state && state->zooming) {
    std::lock_guard guard(zoomLock);
    renderer->SetSourceRect(zoom.top, zoom.bottom, zoom.left, zoom.right);
  } else {
    std::lock_guard guard(zoomLock);
    zoom = mc::media::ZoomRect::whole(width, height);
  }

  if (!renderer->Present()) {
    shownWidth = 0;
    shownHeight = 0;
  }
  return true;
}

bool CShowVideo::Stop() {
  if (renderer) {
    if (opened) {
      shownWidth = 0;
      shownHeight = 0;
      renderer->Close();
      opened = false;
    }
    renderer->Erase();
  }
  if (const auto state = videoState.lock()) state->zooming = false;
  return true;
}

void CShowVideo::Zoom(int x, int y, std::int16_t delta) {
  if (window == mc::kNoWindow || !renderer) return;
  const WindowGeometry geometry = renderer->Geometry();
  if (geometry.clientWidth <= 0 || geometry.clientHeight <= 0) return;

  std::lock_guard guard(zoomLock);
  const int width = shownWidth;
  const int height = shownHeight;
  if (width <= 0 || height <= 0) return;  // nothing shown yet
  const double fx = static_cast<double>(x - geometry.screenLeft) / geometry.clientWidth;
  const double fy = static_cast<double>(y - geometry.screenTop) / geometry.clientHeight;
  zoom = mc::media::zoomStep(zoom, width, height, width * fx, height * fy, delta);
}

mc::media::ZoomRect CShowVideo::zoomRect() const {
  std::lock_guard guard(zoomLock);
  return zoom;
}
