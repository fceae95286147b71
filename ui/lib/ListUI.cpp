#include "ui/lib/ListUI.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOption>
#include <QVBoxLayout>

#include "ui/lib/Notify.h"

namespace {

QColor colourProperty(const QWidget* widget, const char* name, QColor fallback) {
  const QVariant value = widget->property(name);
  if (!value.isValid()) return fallback;
  const QColor colour(value.toString().trimmed());
  return colour.isValid() ? colour : fallback;
}

}  // namespace

CListUI::CListUI(QWidget* parent) : QWidget(parent) {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  header_ = new QWidget(this);
  header_->setObjectName("ListHeader");
  header_->setAttribute(Qt::WA_StyledBackground);
  headerLayout_ = new QHBoxLayout(header_);
  headerLayout_->setContentsMargins(0, 0, 0, 0);
  headerLayout_->setSpacing(0);
  header_->hide();
  outer->addWidget(header_);

  scroll_ = new QScrollArea(this);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidgetResizable(true);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  content_ = new QWidget;
  content_->setObjectName("ListContent");
  rows_ = new QVBoxLayout(content_);
  rows_->setContentsMargins(0, 0, 0, 0);
  rows_->setSpacing(0);
  rows_->addStretch(1);
  scroll_->setWidget(content_);
  outer->addWidget(scroll_);
}

CListUI::~CListUI() = default;

bool CListUI::Add(QWidget* item) { return AddAt(item, GetCount()); }

bool CListUI::AddAt(QWidget* item, int index) {
  auto* row = qobject_cast<CListElementUI*>(item);
  if (!row || index < 0 || index > GetCount() || items_.contains(row)) return false;
  row->owner_ = this;
  row->selected_ = false;
  items_.insert(index, row);
  rows_->insertWidget(index, row);
  if (current_ >= index) ++current_;
  reindexFrom(index);
  // A row added while the list is shown appears at once, like one added before.
  if (!row->isHidden() || !row->testAttribute(Qt::WA_WState_ExplicitShowHide)) row->show();
  return true;
}

bool CListUI::Remove(QWidget* item) { return RemoveAt(GetItemIndex(item)); }

bool CListUI::RemoveAt(int index) {
  CListElementUI* row = TakeAt(index);
  if (!row) return false;
  row->deleteLater();  // stays a child of the list until then
  return true;
}

CListElementUI* CListUI::TakeAt(int index) {
  if (index < 0 || index >= GetCount()) return nullptr;
  CListElementUI* row = items_.takeAt(index);
  delete rows_->takeAt(index);  // the layout item; the row keeps its parent
  row->hide();
  row->owner_ = nullptr;
  row->selected_ = false;
  row->index_ = -1;
  if (current_ == index) current_ = -1;
  else if (current_ > index) --current_;
  reindexFrom(index);
  return row;
}

void CListUI::RemoveAll() {
  while (!items_.isEmpty()) RemoveAt(GetCount() - 1);
  current_ = -1;
}

CListElementUI* CListUI::GetItemAt(int index) const {
  return index >= 0 && index < GetCount() ? items_[index] : nullptr;
}

int CListUI::GetItemIndex(const QWidget* item) const {
  for (int i = 0; i < GetCount(); ++i)
    if (items_[i] == item) return i;
  return -1;
}

bool CListUI::SelectItem(int index) {
  if (index < -1 || index >= GetCount()) return false;
  if (index == current_) return true;
  const int previous = current_;
  if (CListElementUI* old = GetItemAt(previous)) {
    old->selected_ = false;
    old->update();
  }
  current_ = index;
  if (CListElementUI* row = GetItemAt(index)) {
    row->selected_ = true;
    row->update();
    EnsureVisible(index);
  }
  ui::SendNotify(notifySender(), ui::kNotifyItemSelect, static_cast<std::uintptr_t>(index), previous);
  return true;
}

void CListUI::EnsureVisible(int index) {
  if (CListElementUI* row = GetItemAt(index); row && !row->isHidden()) scroll_->ensureWidgetVisible(row, 0, 0);
}

void CListUI::SetColumns(const QStringList& titles, const QList<int>& widths) {
  while (QLayoutItem* item = headerLayout_->takeAt(0)) {
    delete item->widget();
    delete item;
  }
  columnWidths_.clear();
  const int count = static_cast<int>(std::max(titles.size(), widths.size()));
  for (int i = 0; i < count; ++i) {
    const int width = i < widths.size() ? widths[i] : 100;
    columnWidths_.append(width);
    auto* label = new QLabel(i < titles.size() ? titles[i] : QString(), header_);
    label->setObjectName("ListHeaderItem");
    if (i + 1 < count) label->setFixedWidth(width);
    headerLayout_->addWidget(label, i + 1 < count ? 0 : 1);
  }
  header_->setVisible(!titles.isEmpty());
  for (CListElementUI* row : items_) row->update();
}

QPair<int, int> CListUI::columnSpan(int column, int rowWidth) const {
  if (column < 0) return {0, 0};
  if (columnWidths_.isEmpty()) return column == 0 ? qMakePair(0, rowWidth) : qMakePair(rowWidth, 0);
  int left = 0;
  for (int i = 0; i < column && i < columnWidths_.size(); ++i) left += columnWidths_[i];
  if (column >= columnWidths_.size()) return {rowWidth, 0};
  const bool last = column + 1 == columnWidths_.size();
  const int width = last ? std::max(0, rowWidth - left) : columnWidths_[column];
  return {left, width};
}

QScrollBar* CListUI::GetVerticalScrollBar() const { return scroll_->verticalScrollBar(); }
int CListUI::GetScrollPos() const { return scroll_->verticalScrollBar()->value(); }
void CListUI::SetScrollPos(int pos) { scroll_->verticalScrollBar()->setValue(pos); }
int CListUI::GetScrollRange() const { return scroll_->verticalScrollBar()->maximum(); }

QColor CListUI::itemSelectedColor() const { return colourProperty(this, "itemselectedbkcolor", QColor(0xFF2B5D8C)); }
QColor CListUI::itemHotColor() const { return colourProperty(this, "itemhotbkcolor", QColor(0xFF323B46)); }
QColor CListUI::itemTextColor() const { return colourProperty(this, "itemtextcolor", palette().color(QPalette::WindowText)); }

void CListUI::applySkinProperties() {
  const QString titles = property("columns").toString();
  const QString widths = property("columnwidths").toString();
  if (titles.isEmpty() && widths.isEmpty()) return;
  QList<int> numbers;
  for (const QString& w : widths.split(';', Qt::SkipEmptyParts)) numbers.append(w.trimmed().toInt());
  SetColumns(titles.isEmpty() ? QStringList() : titles.split(';'), numbers);
}

void CListUI::contextMenuEvent(QContextMenuEvent* event) {
  if (!isEnabled()) return;
  const QWidget* root = window();
  ui::SendNotify(notifySender(), ui::kNotifyMenu, 0, 0, mapTo(root, event->pos()));
  event->accept();
}

void CListUI::reindexFrom(int index) {
  for (int i = std::max(0, index); i < GetCount(); ++i) items_[i]->index_ = i;
}

void CListUI::rowPressed(CListElementUI* row, Qt::MouseButton button) {
  QPointer<CListElementUI> guard(row);
  if (button == Qt::LeftButton) ui::SendNotify(row, ui::kNotifyItemClick);
  if (!guard || guard->owner_ != this) return;
  const int index = guard->index_;
  SelectItem(index);
  if (button == Qt::LeftButton) emit rowClicked(index);
}

CListElementUI::CListElementUI(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_Hover);
}

bool CListElementUI::Select() { return owner_ && owner_->SelectItem(index_); }

void CListElementUI::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOption option;
  option.initFrom(this);
  style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
  if (!owner_) return;
  if (selected_) painter.fillRect(rect(), owner_->itemSelectedColor());
  else if (hot_) painter.fillRect(rect(), owner_->itemHotColor());
}

void CListElementUI::mousePressEvent(QMouseEvent* event) {
  if (owner_ && isEnabled() && (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)) {
    owner_->rowPressed(this, event->button());
    event->accept();
    return;
  }
  QWidget::mousePressEvent(event);
}

void CListElementUI::mouseDoubleClickEvent(QMouseEvent* event) {
  if (owner_ && isEnabled() && event->button() == Qt::LeftButton) {
    ui::SendNotify(this, ui::kNotifyItemActivate);
    event->accept();
    return;
  }
  QWidget::mouseDoubleClickEvent(event);
}

void CListElementUI::enterEvent(QEnterEvent* event) {
  hot_ = true;
  update();
  ui::SendNotify(this, ui::kNotifyItemIn);
  QWidget::enterEvent(event);
}

void CListElementUI::leaveEvent(QEvent* event) {
  hot_ = false;
  update();
  ui::SendNotify(this, ui::kNotifyItemLeave);
  QWidget::leaveEvent(event);
}

void CListTextElementUI::SetText(int column, const QString& text) {
  if (column < 0) return;
  while (texts_.size() <= column) texts_.append(QString());
  texts_[column] = text;
  update();
}

QString CListTextElementUI::GetText(int column) const {
  return column >= 0 && column < texts_.size() ? texts_[column] : QString();
}

void CListTextElementUI::paintEvent(QPaintEvent* event) {
  CListElementUI::paintEvent(event);
  QPainter painter(this);
  painter.setPen(GetOwner() ? GetOwner()->itemTextColor() : palette().color(QPalette::WindowText));
  constexpr int kPadding = 6;
  for (int i = 0; i < texts_.size(); ++i) {
    const auto [left, width] = GetOwner() ? GetOwner()->columnSpan(i, this->width()) : qMakePair(0, this->width());
    if (width <= 2 * kPadding) continue;
    const QRect box(left + kPadding, 0, width - 2 * kPadding, height());
    painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(texts_[i], Qt::ElideRight, box.width()));
  }
}
