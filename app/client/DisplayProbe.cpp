#include "app/client/DisplayProbe.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>

bool probeOpenGlDisplay() {
  QOpenGLContext context;
  if (!context.create()) return false;
  QOffscreenSurface surface;
  surface.setFormat(context.format());
  surface.create();
  if (!surface.isValid() || !context.makeCurrent(&surface)) return false;
  context.doneCurrent();
  return true;
}
