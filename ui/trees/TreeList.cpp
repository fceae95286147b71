#include "ui/trees/TreeList.h"

CTreeList::CTreeList(QWidget* parent) : OIListUI(parent) { root_.tree = this; }

CTreeList::~CTreeList() = default;

void CTreeList::Clear() {
  RemoveAll();
  rowNodes_.clear();
  root_.children.clear();
}

int CTreeList::ChildCount(const CTreeNode* node) { return node ? static_cast<int>(node->children.size()) : 0; }

CTreeNode* CTreeList::ChildAt(const CTreeNode* node, int index) {
  if (!node || index < 0 || index >= ChildCount(node)) return nullptr;
  return node->children[static_cast<std::size_t>(index)].get();
}

CTreeNode* CTreeList::FindRow(const IParam* record) {
  if (!record) return nullptr;
  std::vector<CTreeNode*> pending{&root_};
  while (!pending.empty()) {
    CTreeNode* node = pending.back();
    pending.pop_back();
    if (!node->isRoot() && node->record.get() == record) return node;
    for (auto child = node->children.rbegin(); child != node->children.rend(); ++child)
      pending.push_back(child->get());
  }
  return nullptr;
}

CTreeNode* CTreeList::NodeOfRow(const QWidget* row) const { return rowNodes_.value(row, nullptr); }

CTreeNode* CTreeList::NodeOfControl(const QWidget* control) {
  for (const QWidget* w = control; w; w = w->parentWidget()) {
    if (const auto* row = qobject_cast<const CListElementUI*>(w)) {
      const auto* tree = qobject_cast<const CTreeList*>(row->GetOwner());
      return tree ? tree->NodeOfRow(row) : nullptr;
    }
  }
  return nullptr;
}

CTreeNode* CTreeList::SelectedNode() const { return NodeOfRow(GetItemAt(GetCurSel())); }

bool CTreeList::IsRowShown(const CTreeNode* node) {
  for (const CTreeNode* up = node ? node->parent : nullptr; up; up = up->parent)
    if (!up->expanded) return false;
  return node != nullptr;
}

bool CTreeList::SelectRow(CTreeNode* node) {
  if (!node || node->tree != this || !node->row) return false;
  // Outermost first, so each expansion finds its own row shown.
  std::vector<CTreeNode*> collapsed;
  for (CTreeNode* up = node->parent; up && !up->isRoot(); up = up->parent)
    if (!up->expanded) collapsed.push_back(up);
  for (auto it = collapsed.rbegin(); it != collapsed.rend(); ++it) SetExpanded(*it, true);
  return SelectItem(node->row->GetIndex());
}

void CTreeList::SetExpanded(CTreeNode* node, bool expanded) {
  if (!node || node->isRoot() || node->tree != this || node->expanded == expanded) return;
  node->expanded = expanded;
  if (IsRowShown(node) && node->hasChildren()) ShowDescendants(node, expanded);
  OnExpandedChanged(node);
}

void CTreeList::ShowDescendants(CTreeNode* node, bool show) {
  for (const auto& child : node->children) {
    if (child->row) child->row->setVisible(show);
    // A collapsed child keeps its own descendants hidden.
    ShowDescendants(child.get(), show && child->expanded);
  }
}

void CTreeList::ClickRow(CTreeNode* node) {
  if (!node || node->tree != this || node->isRoot()) return;
  if (node->hasChildren()) SetExpanded(node, !node->expanded);
  SelectRow(node);
}

CTreeNode* CTreeList::LastDescendant(CTreeNode* node) {
  while (node->hasChildren()) node = node->children.back().get();
  return node;
}

CTreeNode* CTreeList::InsertNode(IParamPtr record, CTreeNode* parent, CListContainerElementUI* row) {
  if (!row) return nullptr;
  if (!parent) parent = &root_;
  if (parent->tree != this) {
    delete row;
    return nullptr;
  }
  const CTreeNode* last = LastDescendant(parent);
  const int index = last->row ? last->row->GetIndex() + 1 : 0;

  auto node = std::make_unique<CTreeNode>();
  node->level = parent->level + 1;
  node->tree = this;
  node->parent = parent;
  node->row = row;
  node->record = std::move(record);
  // A row added below a collapsed node stays hidden until it is expanded.
  // (Only hidden here: a row without a parent shown now would be a window.)
  if (!parent->expanded || !IsRowShown(parent)) row->hide();
  if (!AddAt(row, index)) {
    delete row;
    return nullptr;
  }
  CTreeNode* added = node.get();
  parent->children.push_back(std::move(node));
  rowNodes_.insert(row, added);
  return added;
}
