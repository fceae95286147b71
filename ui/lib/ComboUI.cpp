#include "ui/lib/ComboUI.h"

#include <QFrame>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/lib/ListUI.h"
#include "ui/lib/Notify.h"

CComboUI::CComboUI(QWidget* parent) : QPushButton(parent) {
  popup_ = new QFrame(this, Qt::Popup);
  popup_->setObjectName("ComboDropDown");
  popup_->setFrameShape(QFrame::Box);
  auto* layout = new QVBoxLayout(popup_);
  layout->setContentsMargins(1, 1, 1, 1);
  list_ = new CListUI(popup_);
  list_->setObjectName("ComboList");
  list_->setNotifySender(this);
  layout->addWidget(list_);
  connect(list_, &CListUI::rowClicked, this, [this] { HideDropDown(); });
  connect(this, &QPushButton::clicked, this, [this] { ShowDropDown(); });
}

CComboUI::~CComboUI() = default;

bool CComboUI::Add(QWidget* item) { return list_->Add(item); }
bool CComboUI::AddAt(QWidget* item, int index) { return list_->AddAt(item, index); }
bool CComboUI::Remove(QWidget* item) { return list_->Remove(item); }
void CComboUI::RemoveAll() { list_->RemoveAll(); }
int CComboUI::GetCount() const { return list_->GetCount(); }
QWidget* CComboUI::GetItemAt(int index) const { return list_->GetItemAt(index); }
bool CComboUI::SelectItem(int index) { return list_->SelectItem(index); }
int CComboUI::GetCurSel() const { return list_->GetCurSel(); }

void CComboUI::ShowDropDown() {
  if (!isEnabled() || popup_->isVisible()) return;
  ui::SendNotify(this, ui::kNotifyDropDown);
  const QStringList size = property("dropboxsize").toString().split(',');
  int width = size.size() == 2 ? size[0].trimmed().toInt() : 0;
  int height = size.size() == 2 ? size[1].trimmed().toInt() : 0;
  if (width <= 0) width = this->width();
  int rows = 2;
  for (int i = 0; i < list_->GetCount(); ++i)
    if (QWidget* row = list_->GetItemAt(i); row && !row->isHidden())
      rows += std::max(row->minimumHeight(), row->sizeHint().height());
  if (height <= 0 || rows < height) height = std::max(rows, 24);
  QPoint below = mapToGlobal(QPoint(0, this->height()));
  if (QScreen* screen = this->screen()) {
    const QRect area = screen->availableGeometry();
    if (below.y() + height > area.bottom()) below.setY(mapToGlobal(QPoint(0, 0)).y() - height);
    below.setX(std::clamp(below.x(), area.left(), std::max(area.left(), area.right() - width)));
  }
  popup_->setGeometry(QRect(below, QSize(width, height)));
  popup_->show();
  list_->EnsureVisible(list_->GetCurSel());
}

void CComboUI::HideDropDown() { popup_->hide(); }

bool CComboUI::IsDropDownShown() const { return popup_->isVisible(); }
