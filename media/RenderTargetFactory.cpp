#include <mutex>

#include "media/IRenderTarget.h"
#include "media/OffscreenRenderTarget.h"

namespace {

std::mutex factoryLock;
RenderTargetFactory installedFactory;

}  // namespace

void setRenderTargetFactory(RenderTargetFactory factory) {
  std::lock_guard lock(factoryLock);
  installedFactory = std::move(factory);
}

std::unique_ptr<IRenderTarget> createRenderTarget(mc::WindowHandle window) {
  RenderTargetFactory factory;
  {
    std::lock_guard lock(factoryLock);
    factory = installedFactory;
  }
  if (factory) {
    if (auto target = factory(window)) return target;
  }
  return std::make_unique<OffscreenRenderTarget>();
}
