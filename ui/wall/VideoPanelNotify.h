#pragma once

// What a video pane tells its wall, with the pane's index (its slot), in
// this order: left button released over the pane, left button pressed in it
// (drag start), select, double click, mouse hover. UI thread.
class VideoPanelNotify {
 public:
  virtual void OnLButtonUp(int index) = 0;
  virtual void OnLButtonDown(int index) = 0;
  virtual void OnSelect(int index) = 0;
  virtual void OnDoubleClick(int index) = 0;
  virtual void OnHover(int index) = 0;

 protected:
  ~VideoPanelNotify() = default;
};

// What the wall tells its owner (the main window): after a drop between panes,
// the selected pane. UI thread.
class VideoHandleNotify {
 public:
  virtual void OnPaneSelected(int index) = 0;

 protected:
  ~VideoHandleNotify() = default;
};
