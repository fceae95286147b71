#pragma once
#include <QHash>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "link/CatalogueParam.h"
#include "ui/trees/OIListUI.h"

class CTreeList;

// One row of a tree, or the tree's invisible root (level −1, no row). Owned by
// its parent; lives until the tree is cleared.
struct CTreeNode {
  int level = -1;
  bool expanded = true;
  CTreeList* tree = nullptr;
  CTreeNode* parent = nullptr;
  std::vector<std::unique_ptr<CTreeNode>> children;
  CListContainerElementUI* row = nullptr;
  IParamPtr record;  // the catalogue's own record, shared with the coordinator

  bool isRoot() const { return parent == nullptr; }
  bool hasChildren() const { return !children.empty(); }
};

// A list that behaves as a tree: every row belongs to a node, a node's rows
// follow it in depth-first order, and collapsing a node hides the rows of its
// descendants (they keep their indexes). UI thread only.
class CTreeList : public OIListUI {
  Q_OBJECT

 public:
  explicit CTreeList(QWidget* parent = nullptr);
  ~CTreeList() override;

  // Removes every row and node but the root.
  void Clear();

  CTreeNode* GetRoot() { return &root_; }
  static int ChildCount(const CTreeNode* node);
  static CTreeNode* ChildAt(const CTreeNode* node, int index);

  // Depth-first from the root: the first node showing that record object;
  // null when absent.
  CTreeNode* FindRow(const IParam* record);
  CTreeNode* FindRow(const IParamPtr& record) { return FindRow(record.get()); }
  // The node of a row of this tree; null for anything else.
  CTreeNode* NodeOfRow(const QWidget* row) const;
  // The node whose row holds `control` (the row itself or a control inside
  // it), in whatever tree it is; null when `control` is in no tree row.
  static CTreeNode* NodeOfControl(const QWidget* control);
  // The node of the selected row, or null.
  CTreeNode* SelectedNode() const;

  // Expands every collapsed ancestor of the node, then selects its row.
  bool SelectRow(CTreeNode* node);

  // Stores the state (not for the root, nothing when unchanged). When the
  // node's row is shown, the rows of its descendants are shown (those whose
  // ancestors are all expanded) or hidden.
  virtual void SetExpanded(CTreeNode* node, bool expanded);

  // The main window's answer to "itemclick" on a row: a node with children
  // is expanded or collapsed, then its row is selected.
  void ClickRow(CTreeNode* node);

  // Whether the node's row takes a place in the list (its ancestors are all
  // expanded). The root counts as shown.
  static bool IsRowShown(const CTreeNode* node);

 protected:
  // Inserts `row` right after the last descendant of `parent` (the root when
  // null) and appends a node for it; destroys the row and returns null when
  // the list refuses it.
  CTreeNode* InsertNode(IParamPtr record, CTreeNode* parent, CListContainerElementUI* row);
  // Called after a node's expanded state changed (rows may show it).
  virtual void OnExpandedChanged(CTreeNode* /*node*/) {}

  // One row of a tree to show, in depth-first order: its record, its level
  // and the index of its parent's entry (−1 for a top-level row).
  struct RowSpec {
    IParamPtr record;
    int level = 0;
    int parent = -1;
    bool expanded = true;
  };
  using RowFactory = std::function<CListContainerElementUI*(const RowSpec&)>;
  // Makes the tree show exactly these rows, with fresh nodes. Rows that show
  // the same record at the same level in the unchanged runs at the start and
  // at the end stay where they are; the others are reused by record and level
  // where possible, else made by `makeRow` (an entry it gives no row for is
  // left out with its descendants). Each row ends shown exactly when its
  // ancestors are expanded. Spare rows are destroyed.
  void ApplyRows(const std::vector<RowSpec>& specs, const RowFactory& makeRow);

  // While alive, the rows are hidden as a whole, so adding or showing many
  // rows does not lay the list out once per row.
  class BatchUpdate {
   public:
    explicit BatchUpdate(CTreeList* tree);
    ~BatchUpdate();
    BatchUpdate(const BatchUpdate&) = delete;
    BatchUpdate& operator=(const BatchUpdate&) = delete;

   private:
    QPointer<QWidget> content_;
  };

 private:
  static CTreeNode* LastDescendant(CTreeNode* node);
  void ShowDescendants(CTreeNode* node, bool show);

  CTreeNode root_;
  QHash<const QWidget*, CTreeNode*> rowNodes_;
};
