#include "ui/wall/CVideoPanelHandle.h"

#include <QDir>
#include <QScreen>
#include <QWidget>
#include <numeric>

#include "common/Messages.h"
#include "core/AppContext.h"
#include "core/AppFolder.h"
#include "ui/lib/WindowRegistry.h"
#include "ui/wall/CWinSub.h"
#include "ui/wall/CWinSubUp.h"
#include "ui/wall/MyRectCon.h"
#include "ui/wall/MyVideoPanel.h"
#include "ui/wall/PaneCameras.h"

namespace {

constexpr int kBarHeight = 26;
const QRect kInitialPaneRect(10, 10, 320, 240);  // 10,10 to 330,250, before the first layout

QRect toQRect(const wall::PaneRect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

}  // namespace

CVideoPanelHandle::CVideoPanelHandle(int kind, VideoHandleNotify* owner, std::shared_ptr<IPaneCameras> cameras)
    : kind_(kind), owner_(owner), cameras_(cameras ? std::move(cameras) : coordinatorPaneCameras()) {}

CVideoPanelHandle::~CVideoPanelHandle() {
  // The panes report to this wall: they go with it, unless the main window
  // took them down already.
  for (QPointer<MyVideoPanel>& pane : panes_) delete pane.data();
  delete frame_.data();
}

bool CVideoPanelHandle::attach(mc::WindowHandle window) {
  if (window_ != mc::kNoWindow) return false;
  auto* main = qobject_cast<QWidget*>(ui::windowObject(window));
  if (!main) return false;
  window_ = window;
  mainWidget_ = main;
  surfaceKind_ = probeVideoSurfaceKind();
  if (kind_ == kLive) {
    bottomBar_ = std::make_unique<CWinSub>(cameras_);
    topBar_ = std::make_unique<CWinSubUp>(cameras_);
    bottomBar_->CreateBar(window);
    topBar_->CreateBar(window);
  }
  const QString animation = QDir(QString::fromStdString(resourceFolder())).filePath("checking.gif");
  for (int i = 0; i < wall::kPaneCount; ++i) {
    auto* pane = new MyVideoPanel(surfaceKind_, kind_, this, cameras_, animation, main);
    pane->setObjectName(QString("VideoPane%1").arg(3000 + i));
    pane->setIndex(i);
    pane->setGeometry(kInitialPaneRect);
    pane->show();
    panes_[static_cast<std::size_t>(i)] = pane;
  }
  frame_ = new MyRectCon(main);
  frame_->setObjectName("SelectionFrame3064");
  frame_->hide();
  setLayout(4, false);
  return true;
}

MyVideoPanel* CVideoPanelHandle::pane(int index) const {
  return validIndex(index) ? panes_[static_cast<std::size_t>(index)].data() : nullptr;
}

MyRectCon* CVideoPanelHandle::frame() const { return frame_.data(); }

int CVideoPanelHandle::slotOfWindow(mc::WindowHandle window) const {
  for (int i = 0; i < wall::kPaneCount; ++i)
    if (const MyVideoPanel* p = pane(i); p && p->handle() == window) return i;
  return -1;
}

void CVideoPanelHandle::setPosition(int x, int y) {
  if (x < 0 || y < 0 || fullScreen_) return;
  area_.left = x;
  area_.top = y;
  setLayout(count_, true);
}

void CVideoPanelHandle::setSize(int width, int height) {
  if (width <= 0 || height <= 0 || fullScreen_) return;
  area_.width = width;
  area_.height = height;
  setLayout(count_, true);
}

wall::WallArea CVideoPanelHandle::layoutArea() const {
  if (!fullScreen_) return area_;
  const QScreen* screen = mainWidget_ ? mainWidget_->screen() : nullptr;
  const QSize size = screen ? screen->geometry().size() : QSize();
  return wall::WallArea{0, 0, static_cast<double>(size.width()), static_cast<double>(size.height()), area_.gap};
}

void CVideoPanelHandle::setLayout(int count, bool forced) {
  if (!mainWidget_ || !wall::isLayout(count)) return;
  if (count == count_ && !forced) {
    placeFrame(selected_);
    return;
  }
  // While one pane is maximised the others stay hidden; the layout is
  // taken again when it is restored.
  if (!maximised_) placePanes(count);
  count_ = count;
  gridOrder_ = wall::gridOrder(count);
  if (selected_ >= count_) selected_ = 0;
  placeFrame(selected_);
}

void CVideoPanelHandle::placePanes(int count) {
  const std::vector<wall::PaneRect> rects = wall::layoutRects(count, layoutArea());
  for (int i = 0; i < wall::kPaneCount; ++i) {
    MyVideoPanel* p = pane(i);
    if (!p) continue;
    if (i < static_cast<int>(rects.size())) {
      p->setGeometry(toQRect(rects[static_cast<std::size_t>(i)]));
      p->show();
      p->update();
    } else {
      p->hide();
    }
  }
  if (frame_) frame_->raise();
  if (bottomBar_ && bottomBar_->GetWidget()) bottomBar_->GetWidget()->raise();
  if (topBar_ && topBar_->GetWidget()) topBar_->GetWidget()->raise();
}

void CVideoPanelHandle::placeFrame(int index) {
  if (maximised_ || !validIndex(index) || !frame_) return;
  const MyVideoPanel* p = pane(index);
  if (!p) return;
  const QRect r = p->geometry();
  frame_->hide();
  frame_->setGeometry(toQRect(wall::frameAround({r.left(), r.top(), r.right() + 1, r.bottom() + 1})));
  frame_->update();
  frame_->show();
  frame_->raise();
  if (bottomBar_ && bottomBar_->GetWidget()) bottomBar_->GetWidget()->raise();
  if (topBar_ && topBar_->GetWidget()) topBar_->GetWidget()->raise();
  selected_ = index;
}

void CVideoPanelHandle::select(int index) {
  if (!validIndex(index)) return;
  if (count_ == 1) {
    selected_ = 0;
  } else {
    placeFrame(index);
    selected_ = index;
    if (index >= count_) setLayout(wall::layoutForSelecting(index), false);
  }
  if (selectionCallback_) selectionCallback_(0, selected_);
  moveBars(selected_);
}

bool CVideoPanelHandle::findFreePane(int& index, mc::WindowHandle& window) {
  auto freeForLive = [this](int i) {
    const SxtParamPtr camera = pane(i) ? pane(i)->camera() : nullptr;
    return pane(i) && (!camera || !cameras_->playing(camera));
  };
  auto freeForPlayback = [this](int i) { return pane(i) && pane(i)->isFree(); };
  const bool live = kind_ == kLive;
  int taken = -1;
  bool scanned = false;
  if (index >= 1 && index < wall::kPaneCount && pane(index) && (!live || freeForLive(index))) {
    taken = index;
  } else {
    for (int i = 0; i < wall::kPaneCount && taken < 0; ++i)
      if (live ? freeForLive(i) : freeForPlayback(i)) taken = i;
    scanned = true;
  }
  if (taken < 0) return false;
  index = taken;
  window = pane(taken)->handle();
  if (scanned && taken >= count_) growForScan(taken);
  moveBars(kLastBarsPane);
  return true;
}

void CVideoPanelHandle::growForScan(int index) {
  // A square layout grows by one row and column; beyond that (panes past the
  // count still playing, hidden) and in layouts 6 and 8 the wall takes the
  // smallest square layout that shows the pane, so a camera never opens into
  // a hidden pane.
  int target = wall::layoutForSelecting(index);
  if (wall::isSquareLayout(count_)) target = std::max(target, wall::layoutAfterScan(count_));
  setLayout(target, false);
}

int CVideoPanelHandle::findPaneOfCamera(const SxtParamPtr& camera) const {
  if (!camera) return -1;
  for (int i = 0; i < wall::kPaneCount; ++i) {
    const SxtParamPtr held = pane(i) ? pane(i)->camera() : nullptr;
    if (held && held->id == camera->id) return i;
  }
  return -1;
}

void CVideoPanelHandle::assignCamera(int index, const SxtParamPtr& camera) {
  if (camera)
    for (const QPointer<MyVideoPanel>& p : panes_)
      if (p && p->camera() == camera) p->setCamera(nullptr);
  MyVideoPanel* target = pane(index);
  if (!target) return;
  target->setCamera(camera);
  moveBars(index);
  if (!camera) mc::postMessage(target->handle(), mc::msg::MSG_PANE_LOADED);
}

SxtParamPtr CVideoPanelHandle::cameraOfPane(int index) const {
  const MyVideoPanel* p = pane(index);
  return p ? p->camera() : nullptr;
}

void CVideoPanelHandle::postStatistics(std::uint32_t message) const {
  mc::postMessage(AppContext::instance().mainHwnd, message);
}

void CVideoPanelHandle::fullScreen(bool on) {
  if (!mainWidget_) return;
  if (on) {
    postStatistics(mc::msg::MSG_STATS_STOP);
    if (!fullScreen_) {
      fullScreen_ = true;
      savedMainGeometry_ = mainWidget_->geometry();
      savedMainStates_ = mainWidget_->windowState();
      mainWidget_->showFullScreen();
      if (frame_) frame_->hide();
    }
  } else {
    postStatistics(mc::msg::MSG_STATS_START);
    if (fullScreen_) {
      fullScreen_ = false;
      restoreMainWindow(savedMainGeometry_, savedMainStates_);
      if (frame_ && validIndex(selected_)) frame_->show();
    }
  }
  setLayout(count_, true);
  moveBars(selected_);
}

void CVideoPanelHandle::restoreMainWindow(const QRect& geometry, Qt::WindowStates states) {
  if (states & Qt::WindowMaximized) {
    mainWidget_->showMaximized();
  } else {
    mainWidget_->showNormal();
    mainWidget_->setGeometry(geometry);
  }
}

void CVideoPanelHandle::toggleMaximise(int index) {
  if (!validIndex(index) || !mainWidget_) return;
  if (fullScreen_) {
    fullScreen(false);
    return;
  }
  if (maximised_) restoreMaximised(index);
  else maximise(index);
}

void CVideoPanelHandle::maximise(int index) {
  MyVideoPanel* target = pane(index);
  if (!target) return;
  postStatistics(mc::msg::MSG_STATS_STOP);
  savedPaneGeometry_ = target->geometry();
  savedMaximiseGeometry_ = mainWidget_->geometry();
  savedMaximiseStates_ = mainWidget_->windowState();
  mainWidget_->showFullScreen();
  const QScreen* screen = mainWidget_->screen();
  target->setGeometry(QRect(QPoint(0, 0), screen ? screen->geometry().size() : mainWidget_->size()));
  target->raise();
  maximised_ = true;
  moveBars(selected_);
  for (int i = 0; i < std::min(count_, wall::kPaneCount); ++i)
    if (i != index && pane(i)) pane(i)->hide();
  if (frame_) frame_->hide();
}

void CVideoPanelHandle::restoreMaximised(int index) {
  MyVideoPanel* target = pane(index);
  if (!target) return;
  postStatistics(mc::msg::MSG_STATS_START);
  restoreMainWindow(savedMaximiseGeometry_, savedMaximiseStates_);
  target->setGeometry(savedPaneGeometry_);
  maximised_ = false;
  for (int i = 0; i < std::min(count_, wall::kPaneCount); ++i)
    if (pane(i)) pane(i)->show();
  mainWidget_->update();
  // The layout again, in case the wall's area changed meanwhile.
  setLayout(count_, true);
  placeFrame(selected_);
  moveBars(selected_);
  if (frame_ && validIndex(selected_)) frame_->show();
}

void CVideoPanelHandle::exchange(int a, int b) {
  std::swap(panes_[static_cast<std::size_t>(a)], panes_[static_cast<std::size_t>(b)]);
  if (MyVideoPanel* p = pane(a)) p->setIndex(a);
  if (MyVideoPanel* p = pane(b)) p->setIndex(b);
}

void CVideoPanelHandle::tourStep() {
  if (kind_ != kLive) return;
  std::array<int, wall::kPaneCount> order{};  // the slot each pane comes from
  std::iota(order.begin(), order.end(), 0);
  std::array<bool, wall::kPaneCount> playing{};
  for (int s = 0; s < wall::kPaneCount; ++s) {
    const SxtParamPtr camera = cameraOfPane(s);
    playing[static_cast<std::size_t>(s)] = camera && cameras_->playing(camera);
  }
  wall::tourStep(order, playing);
  const auto before = panes_;
  for (int s = 0; s < wall::kPaneCount; ++s) {
    panes_[static_cast<std::size_t>(s)] = before[static_cast<std::size_t>(order[static_cast<std::size_t>(s)])];
    if (MyVideoPanel* p = pane(s)) p->setIndex(s);
  }
  setLayout(count_, true);
  // The bars belong to a slot: they show the camera that came into it.
  moveBars(kLastBarsPane);
}

void CVideoPanelHandle::moveBars(int index) {
  if (index == kLastBarsPane) index = barsIndex_;
  if (!validIndex(index)) return;
  barsIndex_ = index;
  if (kind_ != kLive || !bottomBar_ || !topBar_) return;
  QWidget* bottom = bottomBar_->GetWidget();
  QWidget* top = topBar_->GetWidget();
  if (!bottom || !top) return;
  const MyVideoPanel* p = pane(index);
  if (index >= count_ || !p) {
    bottom->hide();
    top->hide();
    return;
  }
  const QRect r = p->geometry();
  bottom->setGeometry(r.left(), r.top() + r.height() - kBarHeight, r.width(), kBarHeight);
  top->setGeometry(r.left(), r.top(), r.width(), kBarHeight);
  const bool shown = !p->isHidden();
  bottom->setVisible(shown);
  top->setVisible(shown);
  bottom->raise();
  top->raise();
  const SxtParamPtr camera = p->camera();
  bottomBar_->Refresh(index, camera);
  topBar_->Refresh(index, camera);
}

void CVideoPanelHandle::hideAll() {
  for (const QPointer<MyVideoPanel>& p : panes_)
    if (p) p->hide();
  if (frame_) frame_->hide();
  if (bottomBar_ && bottomBar_->GetWidget()) bottomBar_->GetWidget()->hide();
  if (topBar_ && topBar_->GetWidget()) topBar_->GetWidget()->hide();
}

void CVideoPanelHandle::OnLButtonDown(int index) {
  if (!validIndex(index)) return;
  dragSource_ = fullScreen_ || maximised_ ? -1 : index;
  select(index);
}

void CVideoPanelHandle::OnLButtonUp(int index) {
  if (!fullScreen_ && !maximised_ && validIndex(dragSource_) && validIndex(index) && dragSource_ != index) {
    exchange(dragSource_, index);
    setLayout(count_, true);
    select(index);
  }
  dragSource_ = -1;
  if (owner_) owner_->OnPaneSelected(selected_);
}

void CVideoPanelHandle::OnSelect(int index) { select(index); }

void CVideoPanelHandle::OnDoubleClick(int index) {
  if (!validIndex(index)) return;
  mc::postMessage(window_, mc::msg::MSG_PLAYBACK_REFRESH, static_cast<std::uintptr_t>(index));
  toggleMaximise(index);
}

void CVideoPanelHandle::OnHover(int) {}
