#pragma once
#include "ui/trees/RealyTree.h"

// The three device trees of the main window. They differ only in what plays
// a camera in their wall, which decides the "sxt-open.png" icon.
//
// How a window drives them:
//   CreateControl(className, parent)   return ui::createDeviceTree(className, parent);
//   tree rebuild (initialisation, MSG_TREES_REBUILD, after an on-line notice
//   has set the record's flag and CMainLogic::reorderByOnline ran)
//                                      tree->RebuildFromCatalogue() for the live,
//                                      playback and map trees, in that order (it
//                                      clears and refills in one step; a Clear()
//                                      before it would lose the reused rows, the
//                                      collapsed nodes and the selection)
//   "itemclick" on a row               if (CTreeNode* n = CTreeList::NodeOfControl(msg.sender))
//                                        n->tree->ClickRow(n);
//   "itemactivate" (double click)      CTreeList::NodeOfControl(msg.sender)->record
//   "item_in" / "item_leave"           live->HoverOn(node) / live->HoverOff(node)
//   "node_menu" from the live tree     live->SelectedNode() is the row under the menu
//   a camera opened or closed          live->RefreshRecord(camera)
//   the selected pane changed          live->SelectRow(live->FindRow(camera))
//   search                             live->FindNext(text)

// The live tree ("PlayRelayList", XML class "RealyTree"): a camera plays while
// its live view (CCameraLogic) is open.
class CFpRealyTree : public CRealyTree {
  Q_OBJECT

 public:
  using CRealyTree::CRealyTree;
  std::shared_ptr<CCameraLogic> PlayingObject(const SxtParamPtr& camera) const override;
};

// The playback tree ("PlaybackRelayList", XML class "PlayBackTree"): a camera
// plays while its playback (CCameraPlayBack) is open.
class CPlayBackRealyTree : public CRealyTree {
  Q_OBJECT

 public:
  using CRealyTree::CRealyTree;
  std::shared_ptr<CCameraLogic> PlayingObject(const SxtParamPtr& camera) const override;
};

// The map tree ("staticTree", XML class "StaticTree"): nothing plays in it;
// cameras show only on line, off line and expired.
class CStaticTree : public CRealyTree {
  Q_OBJECT

 public:
  using CRealyTree::CRealyTree;
};

namespace ui {

inline const QString kNodeItemTemplate = QStringLiteral("FPNodeItem.xml");
inline const QString kChannelItemTemplate = QStringLiteral("FPChannelItem.xml");

// The tree for a layout's XML class name ("RealyTree", "PlayBackTree",
// "StaticTree") with the skin's two row templates; null for other names.
// For a window's CreateControl.
CRealyTree* createDeviceTree(const QString& className, QWidget* parent);

}  // namespace ui
