#include "ui/trees/RealyTree.h"

#include <QAbstractButton>
#include <QLayout>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <QtDebug>
#include <algorithm>

#include "camera/CCameraLogic.h"
#include "common/Messages.h"
#include "core/AppContext.h"
#include "link/CMainLogic.h"
#include "ui/lib/ControlOps.h"
#include "ui/lib/Notify.h"
#include "ui/lib/WindowImplBase.h"

namespace {

constexpr char kControlText[] = "Text";
constexpr char kControlIcon[] = "NodeIcon";
constexpr char kControlCount[] = "numText";
constexpr char kControlAdd[] = "AddBtn";
constexpr char kControlPlayback[] = "playBackBtn";
constexpr char kControlHover[] = "ENABLEBTN";
constexpr char kControlArrow[] = "Arrow";
constexpr char kIconProperty[] = "_mcTreeIcon";
constexpr char kBaseIndentProperty[] = "_mcBaseIndent";

constexpr char kArrowExpanded[] = "tree/arrow-expanded.png";
constexpr char kArrowCollapsed[] = "tree/arrow-collapsed.png";

QWidget* sub(const QWidget* row, const char* name) { return WindowImplBase::FindSubControl(row, name); }

void setIcon(QWidget* row, const QString& file) {
  // Setting an image restyles the control; most refreshes change nothing.
  if (row->property(kIconProperty).toString() == file) return;
  row->setProperty(kIconProperty, file);
  if (QWidget* icon = sub(row, kControlIcon)) ui::SetBkImage(icon, file);
}

}  // namespace

CRealyTree::CRealyTree(QString nodeTemplate, QString cameraTemplate, QWidget* parent, QString skinFolder)
    : CTreeList(parent),
      nodeTemplate_(std::move(nodeTemplate)),
      cameraTemplate_(std::move(cameraTemplate)),
      skinFolder_(std::move(skinFolder)) {}

CRealyTree::~CRealyTree() = default;

bool CRealyTree::IsNodeType(int type) {
  switch (type) {
    case 1: case 2: case 3: case 4: case 8: case 9: case 10: case 11: case 12: case 15: case 16:
      return true;
    default:
      return false;
  }
}

QString CRealyTree::NodeIconName(int type, bool online) {
  const char* base = nullptr;
  switch (type) {
    case 1: base = "cap"; break;
    case 2: case 10: case 12: base = "vir"; break;
    case 3: base = "ipci"; break;
    case 4: base = "nvrn"; break;
    case 8: case 15: base = "ipc"; break;
    case 9: case 16: base = "nvr"; break;
    case 11: base = "iphone"; break;
    default: return {};
  }
  return QString::fromLatin1(base) + (online ? "-in.png" : "-out.png");
}

bool CRealyTree::AllowsPlayback(const std::string& permission) {
  return QString::fromStdString(permission).contains(QStringLiteral("03"), Qt::CaseInsensitive);
}

QString CRealyTree::IconOf(const CTreeNode* node) {
  return node && node->row ? node->row->property(kIconProperty).toString() : QString();
}

CListContainerElementUI* CRealyTree::BuildRow(bool camera, int level) {
  CDialogBuilder& builder = camera ? cameraBuilder_ : nodeBuilder_;
  const QString& file = camera ? cameraTemplate_ : nodeTemplate_;
  QWidget* built = builder.Create(file, skinFolder_, nullptr, this);
  auto* row = qobject_cast<CListContainerElementUI*>(built);
  if (!row) {
    qWarning("device tree: item template %s in %s %s", qPrintable(file), qPrintable(skinFolder_),
             built ? "is not a list row" : "cannot be read");
    delete built;
    return nullptr;
  }
  row->setFixedHeight(camera ? kCameraRowHeight : kNodeRowHeight);
  if (QLayout* layout = row->layout()) {
    QMargins margins = layout->contentsMargins();
    margins.setLeft(margins.left() + kIndentPerLevel * std::max(0, level));
    layout->setContentsMargins(margins);
  }
  if (QWidget* hover = sub(row, kControlHover)) {
    // An indicator only: clicks and double clicks belong to the row.
    hover->setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  if (QWidget* text = sub(row, kControlText)) text->installEventFilter(this);
  if (auto* button = qobject_cast<QAbstractButton*>(sub(row, camera ? kControlPlayback : kControlAdd))) {
    connect(button, &QAbstractButton::clicked, this, [this, button, camera] {
      // The node is looked up when clicked: rows move between nodes on a rebuild.
      CTreeNode* owner = NodeOfControl(button);
      if (!owner || owner->tree != this) return;
      if (camera) OnPlaybackBtnClick(owner);
      else OnAddBtnClick(owner);
    });
  }
  return row;
}

CTreeNode* CRealyTree::AddRecord(const IParamPtr& record, CTreeNode* parent) {
  if (!record) return nullptr;
  const bool camera = record->type == IParam::kCameraType;
  if (!camera && !IsNodeType(record->type)) return nullptr;
  if (!parent) parent = GetRoot();
  if (parent->tree != this) return nullptr;

  CListContainerElementUI* row = BuildRow(camera, parent->level + 1);
  if (!row) return nullptr;
  CTreeNode* node = InsertNode(record, parent, row);
  if (!node) return nullptr;
  PrepareRow(node);
  if (!parent->isRoot()) UpdateArrow(parent);
  return node;
}

void CRealyTree::PrepareRow(CTreeNode* node) {
  QWidget* row = node->row;
  const bool camera = node->record->type == IParam::kCameraType;
  if (QWidget* hover = sub(row, kControlHover)) hover->hide();
  if (camera)
    if (QWidget* playback = sub(row, kControlPlayback))
      playback->setVisible(playbackAvailable_ && AllowsPlayback(AppContext::instance().permission));
  // The tag names the node while the row is in the tree.
  if (QWidget* button = sub(row, camera ? kControlPlayback : kControlAdd))
    ui::SetTag(button, reinterpret_cast<quintptr>(node));
  RefreshRow(node);
  UpdateArrow(node);
}

CTreeNode* CRealyTree::AddRecordTree(const IParamPtr& record, CTreeNode* parent) {
  CTreeNode* node = AddRecord(record, parent);
  if (!node) return nullptr;
  for (const IParamPtr& child : record->children()) AddRecordTree(child, node);
  return node;
}

std::shared_ptr<CCameraLogic> CRealyTree::PlayingObject(const SxtParamPtr&) const { return nullptr; }

bool CRealyTree::IsPlaying(const IParamPtr& record) const {
  auto camera = std::dynamic_pointer_cast<SxtParam>(record);
  if (!camera) return false;
  auto player = PlayingObject(camera);
  return player && player->IsOpen();
}

void CRealyTree::RefreshRow(CTreeNode* node) {
  if (!node || node->tree != this || !node->row || !node->record) return;
  QWidget* row = node->row;
  const IParam& record = *node->record;
  const QString name = QString::fromStdString(record.name);
  if (QWidget* text = sub(row, kControlText)) {
    ui::SetText(text, name);
    text->setToolTip(name);
  }

  if (record.type != IParam::kCameraType) {
    setIcon(row, NodeIconName(record.type, record.online));
    const auto* nodeRecord = dynamic_cast<const NodeParam*>(&record);
    const int online = nodeRecord ? nodeRecord->onlineCameraCount.load() : 0;
    if (QWidget* count = sub(row, kControlCount))
      ui::SetText(count, QStringLiteral("[%1/%2]").arg(online).arg(record.childCount()));
    return;
  }
  if (IsPlaying(node->record)) {
    setIcon(row, QStringLiteral("sxt-open.png"));
    return;
  }
  // On line or off line, and over that the expiry mark.
  const QString state = record.online ? QStringLiteral("sxt-in.png") : QStringLiteral("sxt-out.png");
  setIcon(row, record.expired ? QStringLiteral("Expired.png") : state);
}

void CRealyTree::RefreshRecord(const IParamPtr& record) { RefreshRow(FindRow(record)); }

void CRealyTree::OnPlaybackBtnClick(CTreeNode* node) {
  if (!node || !node->record || node->record->type != IParam::kCameraType) return;
  const mc::WindowHandle main = AppContext::instance().mainHwnd;
  if (main == mc::kNoWindow) return;
  mc::postMessage(main, mc::msg::MSG_OPEN_PLAYBACK, 0, 0, std::make_shared<std::string>(node->record->id));
}

void CRealyTree::OnAddBtnClick(CTreeNode* node) {
  if (!node || !node->row) return;
  ui::SendNotify(sub(node->row, kControlAdd), ui::kNotifyItemAdd, static_cast<std::uintptr_t>(node->row->GetIndex()));
}

void CRealyTree::AddSpecs(const IParamPtr& record, int level, int parent, const std::vector<IParamPtr>& collapsed,
                          std::vector<RowSpec>& specs) const {
  if (!record || (record->type != IParam::kCameraType && !IsNodeType(record->type))) return;
  const bool expanded = std::find(collapsed.begin(), collapsed.end(), record) == collapsed.end();
  const int self = static_cast<int>(specs.size());
  specs.push_back({record, level, parent, expanded});
  for (const IParamPtr& child : record->children()) AddSpecs(child, level + 1, self, collapsed, specs);
}

void CRealyTree::Rebuild(const std::vector<IParamPtr>& roots) {
  std::vector<IParamPtr> collapsed;
  std::vector<CTreeNode*> pending{GetRoot()};
  while (!pending.empty()) {
    CTreeNode* node = pending.back();
    pending.pop_back();
    if (!node->isRoot() && !node->expanded && node->record) collapsed.push_back(node->record);
    for (const auto& child : node->children) pending.push_back(child.get());
  }
  CTreeNode* selectedNode = SelectedNode();
  const IParamPtr selected = selectedNode ? selectedNode->record : nullptr;
  const int scroll = GetScrollPos();

  std::vector<RowSpec> specs;
  for (const IParamPtr& root : roots) AddSpecs(root, 0, -1, collapsed, specs);
  ApplyRows(specs, [this](const RowSpec& spec) { return BuildRow(spec.record->type == IParam::kCameraType, spec.level); });
  std::vector<CTreeNode*> nodes{GetRoot()};
  while (!nodes.empty()) {
    CTreeNode* node = nodes.back();
    nodes.pop_back();
    if (!node->isRoot()) PrepareRow(node);
    for (const auto& child : node->children) nodes.push_back(child.get());
  }

  if (CTreeNode* again = FindRow(selected); again && IsRowShown(again)) SelectItem(again->row->GetIndex());
  // The rows get their places when the layout runs; the position waits for it.
  SetScrollPos(scroll);
  QTimer::singleShot(0, this, [guard = QPointer<CRealyTree>(this), scroll] {
    if (guard) guard->SetScrollPos(scroll);
  });
}

void CRealyTree::RebuildFromCatalogue() {
  auto logic = AppContext::instance().getMainLogic();
  Rebuild(logic ? logic->getNodes() : std::vector<IParamPtr>{});
}

bool CRealyTree::FindNext(const QString& text) {
  if (text.isEmpty()) return false;
  const int count = GetCount();
  const int selected = GetCurSel();
  auto matches = [&](int index) {
    CTreeNode* node = NodeOfRow(GetItemAt(index));
    return node && node->record && QString::fromStdString(node->record->name).contains(text, Qt::CaseInsensitive);
  };
  for (int step = 1; step < count + (selected < 0 ? 1 : 0); ++step) {
    // From the row after the selection to the end, then from the top up to it.
    const int index = (selected + step) % count;
    if (matches(index)) return SelectRow(NodeOfRow(GetItemAt(index)));
  }
  return false;
}

void CRealyTree::HoverOn(CTreeNode* node) {
  if (node && node->tree == this && node->row)
    if (QWidget* hover = sub(node->row, kControlHover)) hover->show();
}

void CRealyTree::HoverOff(CTreeNode* node) {
  if (node && node->tree == this && node->row)
    if (QWidget* hover = sub(node->row, kControlHover)) hover->hide();
}

void CRealyTree::UpdateArrow(CTreeNode* node) {
  if (!node || !node->row) return;
  QWidget* arrow = sub(node->row, kControlArrow);
  if (!arrow) return;
  // The arrow keeps its place when empty so names line up.
  const QString image = !node->hasChildren() ? QString()
                        : node->expanded     ? QString::fromLatin1(kArrowExpanded)
                                             : QString::fromLatin1(kArrowCollapsed);
  if (ui::GetImage(arrow, "bk") != image) ui::SetBkImage(arrow, image);
}

void CRealyTree::OnExpandedChanged(CTreeNode* node) { UpdateArrow(node); }

bool CRealyTree::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease) {
    auto* text = qobject_cast<QWidget*>(watched);
    auto* mouse = static_cast<QMouseEvent*>(event);
    CTreeNode* node = text ? NodeOfControl(text) : nullptr;
    if (node && node->tree == this && mouse->button() == Qt::LeftButton) {
      const auto index = static_cast<std::uintptr_t>(node->row->GetIndex());
      QPointer<QWidget> guard(text);
      if (type == QEvent::MouseButtonPress) {
        ui::SendNotify(text, ui::kNotifyNodeItemMouseDown, index);
      } else {
        ui::SendNotify(text, ui::kNotifyNodeItemMouseUp, index);
        if (guard && mouse->position().x() > kMoveOutDistance) ui::SendNotify(text, ui::kNotifyItemMoveOut, index);
      }
      // The row still takes the press (click, selection, double click); a
      // window that removed the row meanwhile ends it here.
      if (!guard) return true;
    }
  }
  return CTreeList::eventFilter(watched, event);
}
