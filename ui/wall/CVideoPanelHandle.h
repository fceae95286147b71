#pragma once
#include <QPointer>
#include <QRect>
#include <Qt>
#include <array>
#include <functional>
#include <memory>

#include "common/WindowMessage.h"
#include "link/CatalogueParam.h"
#include "ui/video/VideoSurface.h"
#include "ui/wall/VideoPanelNotify.h"
#include "ui/wall/WallGeometry.h"

class CWinSub;
class CWinSubUp;
class IPaneCameras;
class MyRectCon;
class MyVideoPanel;
class QWidget;

// The video wall of the live page (kind 0) or the playback page (kind 1) of
// the main window: 64 panes laid out in 1, 4, 6, 8, 9, 16, 25, 36, 49 or 64
// (81 and 100 show 64), the red selection frame, and on the live wall the two
// bars over the selected pane. The wall decides geometry, selection, which
// camera a pane holds and what the bars offer; the cameras draw into the
// panes themselves (the pane's window handle goes to openLive). Full screen
// and one maximised pane stop the main window's statistics (MSG_STATS_STOP
// to AppContext.mainHwnd) and leaving them restarts them (MSG_STATS_START).
// Slot i of the wall is laid out at grid position i; panes move between
// slots when dragged or toured. Indexes outside 0 … 63 are ignored.
// UI thread only.
//
// The main window: creates the wall with itself as VideoHandleNotify,
// attach(its handle), setPosition and setSize from its sizing, asks
// findFreePane for a pane, passes that pane's window to openLive, posts
// MSG_PANE_LOADING to it, then assignCamera and select; moveBars on its moves.
// (The program has called installPaneRenderTargets() once, so the camera's
// pictures reach the pane.) The bars are child windows of the main window over
// the selected pane, CWinSub::kHeight pixels at its top and its bottom; the
// trims given to openLive can keep the picture clear of them.
class CVideoPanelHandle : public VideoPanelNotify {
 public:
  enum Kind { kLive = 0, kPlayback = 1 };
  static constexpr int kLastBarsPane = 99;  // moveBars: the pane the bars were last moved to

  // (flag, index), called after every selection with flag 0.
  using SelectionCallback = std::function<void(int flag, int index)>;

  CVideoPanelHandle(int kind, VideoHandleNotify* owner, std::shared_ptr<IPaneCameras> cameras = {});
  ~CVideoPanelHandle();
  CVideoPanelHandle(const CVideoPanelHandle&) = delete;
  CVideoPanelHandle& operator=(const CVideoPanelHandle&) = delete;

  // Creates the bars (hidden, live wall only), the 64 panes as children of
  // the main window `window`, the frame, and takes layout 4. Once; false when
  // `window` is no live window or the wall is attached already.
  bool attach(mc::WindowHandle window);

  // The wall's area in the main window; ignored for a negative position or a
  // size that is not positive, and while full screen. Re-lays out.
  void setPosition(int x, int y);
  void setSize(int width, int height);
  // Takes layout `count` (other counts are ignored); with the current count
  // and not `forced` only the frame is placed again.
  void setLayout(int count, bool forced);

  int currentCount() const { return count_; }
  int selectedIndex() const { return selected_; }
  // Selects the pane of slot `index` (pane 0 in layout 1), growing the layout
  // when `index` is beyond it; the callback is told and the bars follow.
  void select(int index);

  // A pane to open a camera in, trying `index` first: its slot in `index`,
  // its window in `window`. Grows a layout too small to show it. False when
  // every pane is busy.
  bool findFreePane(int& index, mc::WindowHandle& window);
  // The first slot whose pane holds a camera with the id of `camera`; -1.
  int findPaneOfCamera(const SxtParamPtr& camera) const;
  // Puts `camera` into the pane of slot `index`, taking it out of any other
  // pane, and moves the bars there; an empty `camera` frees the pane and stops
  // its waiting animation.
  void assignCamera(int index, const SxtParamPtr& camera);
  SxtParamPtr cameraOfPane(int index) const;

  void fullScreen(bool on);
  // Maximises the pane of slot `index` over the whole screen, or restores it;
  // while full screen only leaves full screen.
  void toggleMaximise(int index);
  // One step of the tour: the playing panes packed into the first slots and
  // rotated by one, so each comes into the large pane of layout 6 or 8 in turn.
  void tourStep();
  // Places the bars over the pane of slot `index` (kLastBarsPane: the last
  // one) and shows them with its camera; hidden beyond the layout.
  void moveBars(int index = kLastBarsPane);
  // Hides the panes, the frame and the bars.
  void hideAll();
  void setSelectionCallback(SelectionCallback callback) { selectionCallback_ = std::move(callback); }

  int kind() const { return kind_; }
  bool isFullScreen() const { return fullScreen_; }
  bool isMaximised() const { return maximised_; }
  const wall::WallArea& area() const { return area_; }
  // The pane in slot `index`, or null.
  MyVideoPanel* pane(int index) const;
  // The slot of the pane with window `window`, or -1.
  int slotOfWindow(mc::WindowHandle window) const;
  MyRectCon* frame() const;
  CWinSub* bottomBar() const { return bottomBar_.get(); }
  CWinSubUp* topBar() const { return topBar_.get(); }
  int barsIndex() const { return barsIndex_; }

  // VideoPanelNotify, from the panes.
  void OnLButtonUp(int index) override;
  void OnLButtonDown(int index) override;
  void OnSelect(int index) override;
  void OnDoubleClick(int index) override;
  void OnHover(int index) override;

 private:
  static bool validIndex(int index) { return index >= 0 && index < wall::kPaneCount; }
  wall::WallArea layoutArea() const;
  void placePanes(int count);
  void placeFrame(int index);
  void exchange(int a, int b);
  void maximise(int index);
  void restoreMaximised(int index);
  void postStatistics(std::uint32_t message) const;
  void restoreMainWindow(const QRect& geometry, Qt::WindowStates states);
  void growForScan(int index);

  const int kind_;
  VideoHandleNotify* const owner_;
  const std::shared_ptr<IPaneCameras> cameras_;
  mc::WindowHandle window_ = mc::kNoWindow;
  QPointer<QWidget> mainWidget_;
  std::array<QPointer<MyVideoPanel>, wall::kPaneCount> panes_;
  QPointer<MyRectCon> frame_;
  std::unique_ptr<CWinSub> bottomBar_;
  std::unique_ptr<CWinSubUp> topBar_;
  VideoSurfaceKind surfaceKind_ = VideoSurfaceKind::Painter;

  wall::WallArea area_;
  int count_ = 0;
  int gridOrder_ = 0;
  int selected_ = -1;
  int barsIndex_ = -1;
  int dragSource_ = -1;
  bool fullScreen_ = false;
  bool maximised_ = false;
  QRect savedMainGeometry_;  // before full screen
  Qt::WindowStates savedMainStates_;
  QRect savedMaximiseGeometry_;  // before a pane was maximised
  Qt::WindowStates savedMaximiseStates_;
  QRect savedPaneGeometry_;
  SelectionCallback selectionCallback_;
};
