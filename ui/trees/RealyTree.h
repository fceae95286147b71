#pragma once
#include <QString>
#include <memory>
#include <vector>

#include "ui/lib/SkinLoader.h"
#include "ui/trees/TreeList.h"

class CCameraLogic;

// A device tree of catalogue records: node rows from one item template,
// camera rows from another, each with an icon that tells the node kind and
// whether the device is on line, the camera playing in this tree's wall, or
// expired. The tree only shows and reports; the main window decides what a
// click means.
//
// Row controls (names in the templates): "Text" (name), "NodeIcon"
// (background image = icon), "numText" (node rows: "[on-line/cameras]"),
// "AddBtn" (node rows), "playBackBtn" (camera rows; shown only with the
// playback permission "03"), "ENABLEBTN" (shown while hovered in the live
// tree), "Arrow" (node rows: expanded or collapsed, when it has rows below).
//
// Notifications to the window besides the list's own ("itemclick",
// "itemactivate", "itemselect", "item_in", "item_leave", "node_menu"):
// "item_Add" from a node row's "AddBtn" (wParam: the row index);
// "NodeItem_MouseDown" and "NodeItem_MouseUp" from a row's "Text" (left
// button; wParam: the row index); "item_moveout" from "Text" when the left
// button is released more than 250 pixels right of its left edge. A camera
// row's "playBackBtn" posts MSG_OPEN_PLAYBACK to AppContext.mainHwnd with the
// camera id (std::string) as payload.
//
// UI thread only.
class CRealyTree : public CTreeList {
  Q_OBJECT

 public:
  static constexpr int kNodeRowHeight = 30;
  static constexpr int kCameraRowHeight = 25;
  static constexpr int kIndentPerLevel = 16;
  static constexpr int kMoveOutDistance = 250;

  // Templates are file names in `skinFolder` ("Skin" is the skin itself).
  CRealyTree(QString nodeTemplate, QString cameraTemplate, QWidget* parent = nullptr,
             QString skinFolder = QStringLiteral("Skin"));
  ~CRealyTree() override;

  // Adds a row for the record below `parent` (the root when null): node
  // records of the known node types get a node row, cameras a camera row, any
  // other record nothing (null). The row goes right after the parent's last
  // descendant.
  virtual CTreeNode* AddRecord(const IParamPtr& record, CTreeNode* parent = nullptr);
  // Redraws the row's name, icon and counts from its record.
  virtual void RefreshRow(CTreeNode* node);
  // A camera row's playback button: asks the main window to open the camera
  // for playback.
  virtual void OnPlaybackBtnClick(CTreeNode* node);
  // A node row's add button: tells the window ("item_Add").
  virtual void OnAddBtnClick(CTreeNode* node);
  // The object that plays the camera in this tree's wall, if any.
  virtual std::shared_ptr<CCameraLogic> PlayingObject(const SxtParamPtr& camera) const;

  // Adds the record and, recursively, its children in their order.
  CTreeNode* AddRecordTree(const IParamPtr& record, CTreeNode* parent = nullptr);
  // Clears the tree and adds every root record with its descendants. Nodes
  // that were collapsed stay collapsed, the selected record stays selected
  // and the list keeps its scroll position. Rows of records still present
  // are reused (rows outside the changed part do not even move) and
  // refreshed, so an on-line change costs little even with many cameras.
  void Rebuild(const std::vector<IParamPtr>& roots);
  // Rebuild from the coordinator's catalogue (empty without a coordinator).
  void RebuildFromCatalogue();
  // Refreshes the row of that record, when the tree shows it.
  void RefreshRecord(const IParamPtr& record);

  // Selects the next row after the selected one whose name contains `text`
  // (ignoring case), wrapping to the top; false (selection unchanged) when
  // no other row matches or the text is empty.
  bool FindNext(const QString& text);

  // Shows / hides the row's "ENABLEBTN".
  void HoverOn(CTreeNode* node);
  void HoverOff(CTreeNode* node);

  // The icon file the row shows ("nvr-in.png", "sxt-open.png" ...).
  static QString IconOf(const CTreeNode* node);
  // Node rows' icon for a node type: base + "-in.png" / "-out.png"; empty
  // for types that get no row.
  static QString NodeIconName(int type, bool online);
  static bool IsNodeType(int type);
  // Whether a permission text grants playback ("03", ignoring case).
  static bool AllowsPlayback(const std::string& permission);
  // Whether camera rows offer their playback button at all (a client
  // without the playback page hides it); rows made from now on follow it.
  void SetPlaybackAvailable(bool available) { playbackAvailable_ = available; }

  QString GetSkinFolder() const { return skinFolder_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void OnExpandedChanged(CTreeNode* node) override;

 private:
  CListContainerElementUI* BuildRow(bool camera, int level);
  // Readies a row for its node: tag, hover mark, playback permission,
  // content, expand arrow.
  void PrepareRow(CTreeNode* node);
  void AddSpecs(const IParamPtr& record, int level, int parent, const std::vector<IParamPtr>& collapsed,
                std::vector<RowSpec>& specs) const;
  void UpdateArrow(CTreeNode* node);
  bool IsPlaying(const IParamPtr& record) const;

  QString nodeTemplate_;
  QString cameraTemplate_;
  QString skinFolder_;
  CDialogBuilder nodeBuilder_;
  CDialogBuilder cameraBuilder_;
  bool playbackAvailable_ = true;
};

namespace ui {
inline const QString kNotifyItemAdd = QStringLiteral("item_Add");
inline const QString kNotifyNodeItemMouseDown = QStringLiteral("NodeItem_MouseDown");
inline const QString kNotifyNodeItemMouseUp = QStringLiteral("NodeItem_MouseUp");
inline const QString kNotifyItemMoveOut = QStringLiteral("item_moveout");
}  // namespace ui
