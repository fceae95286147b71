#include "ui/trees/TreeList.h"

#include <QScrollArea>
#include <map>
#include <optional>
#include <utility>

CTreeList::CTreeList(QWidget* parent) : OIListUI(parent) { root_.tree = this; }

CTreeList::~CTreeList() = default;

void CTreeList::Clear() {
  BatchUpdate batch(this);
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
  if (!AddAt(row, index)) {
    delete row;
    return nullptr;
  }
  // A row added below a collapsed node stays hidden until it is expanded.
  row->setVisible(parent->expanded && IsRowShown(parent));
  CTreeNode* added = node.get();
  parent->children.push_back(std::move(node));
  rowNodes_.insert(row, added);
  return added;
}

void CTreeList::ApplyRows(const std::vector<RowSpec>& specs, const RowFactory& makeRow) {
  const int oldCount = GetCount();
  const int newCount = static_cast<int>(specs.size());
  auto sameAt = [&](int oldIndex, int newIndex) {
    const CTreeNode* node = NodeOfRow(GetItemAt(oldIndex));
    const RowSpec& spec = specs[static_cast<std::size_t>(newIndex)];
    return node && node->record == spec.record && node->level == spec.level;
  };
  int prefix = 0;
  while (prefix < oldCount && prefix < newCount && sameAt(prefix, prefix)) ++prefix;
  int suffix = 0;
  while (suffix < oldCount - prefix && suffix < newCount - prefix && sameAt(oldCount - 1 - suffix, newCount - 1 - suffix))
    ++suffix;
  const int oldMiddle = oldCount - prefix - suffix;
  const int newMiddle = newCount - prefix - suffix;

  // Moving a few rows is cheaper than hiding and showing them all.
  constexpr int kBatchRows = 64;
  std::optional<BatchUpdate> batch;
  if (oldMiddle + newMiddle > kBatchRows) batch.emplace(this);

  // The changed run: taken out, kept by what it showed.
  std::multimap<std::pair<const IParam*, int>, CListElementUI*> spare;
  for (int i = prefix + oldMiddle - 1; i >= prefix; --i) {
    CListElementUI* row = TakeAt(i);
    const CTreeNode* node = NodeOfRow(row);
    if (node) spare.emplace(std::make_pair(node->record.get(), node->level), row);
    else if (row) row->deleteLater();
  }
  std::vector<CListElementUI*> rows(static_cast<std::size_t>(newCount), nullptr);
  for (int i = 0; i < prefix; ++i) rows[static_cast<std::size_t>(i)] = GetItemAt(i);
  for (int i = 0; i < suffix; ++i) rows[static_cast<std::size_t>(newCount - suffix + i)] = GetItemAt(prefix + i);

  // The old nodes go; the rows of the unchanged runs stay in the list.
  rowNodes_.clear();
  root_.children.clear();

  int insertAt = prefix;
  for (int i = prefix; i < prefix + newMiddle; ++i) {
    const RowSpec& spec = specs[static_cast<std::size_t>(i)];
    CListElementUI* row = nullptr;
    if (auto found = spare.find({spec.record.get(), spec.level}); found != spare.end()) {
      row = found->second;
      spare.erase(found);
    } else {
      row = makeRow(spec);
    }
    if (!row) continue;
    if (!AddAt(row, insertAt)) {
      delete row;
      continue;
    }
    ++insertAt;
    rows[static_cast<std::size_t>(i)] = row;
  }
  for (auto& [key, row] : spare) row->deleteLater();

  // Fresh nodes, in order; an entry whose parent has no node has none either.
  std::vector<CTreeNode*> nodes(static_cast<std::size_t>(newCount), nullptr);
  std::vector<CListElementUI*> orphans;
  for (int i = 0; i < newCount; ++i) {
    const RowSpec& spec = specs[static_cast<std::size_t>(i)];
    CListElementUI* row = rows[static_cast<std::size_t>(i)];
    if (!row) continue;
    CTreeNode* parent = spec.parent < 0 ? &root_ : nodes[static_cast<std::size_t>(spec.parent)];
    auto* container = qobject_cast<CListContainerElementUI*>(row);
    if (!parent || !container) {
      orphans.push_back(row);
      continue;
    }
    auto node = std::make_unique<CTreeNode>();
    node->level = parent->level + 1;
    node->expanded = spec.expanded;
    node->tree = this;
    node->parent = parent;
    node->row = container;
    node->record = spec.record;
    nodes[static_cast<std::size_t>(i)] = node.get();
    rowNodes_.insert(row, node.get());
    parent->children.push_back(std::move(node));
  }
  for (CListElementUI* row : orphans) RemoveAt(row->GetIndex());

  for (CTreeNode* node : nodes) {
    if (!node) continue;
    const bool shown = IsRowShown(node);
    if (node->row->isHidden() == shown) node->row->setVisible(shown);
  }
}

CTreeList::BatchUpdate::BatchUpdate(CTreeList* tree) {
  auto* area = tree->findChild<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly);
  QWidget* content = area ? area->widget() : nullptr;
  if (content && !content->isHidden()) {
    content->hide();
    content_ = content;
  }
}

CTreeList::BatchUpdate::~BatchUpdate() {
  if (content_) content_->show();
}
