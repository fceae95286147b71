#pragma once

// Whether the display can give the windows an OpenGL context (the panes draw
// with it when the renderer is a hardware one). UI thread, after the
// QApplication exists.
bool probeOpenGlDisplay();
