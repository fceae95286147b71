#include "ui/lib/TabLayoutUI.h"

#include "ui/lib/Notify.h"

bool CTabLayoutUI::SelectItem(int index) {
  if (index < 0 || index >= count()) return false;
  const int previous = currentIndex();
  if (index == previous) return true;
  setCurrentIndex(index);
  ui::SendNotify(this, ui::kNotifyTabSelect, static_cast<std::uintptr_t>(index), previous);
  return true;
}

bool CTabLayoutUI::SelectItem(QWidget* page) { return SelectItem(indexOf(page)); }
