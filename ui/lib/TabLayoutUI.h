#pragma once
#include <QStackedWidget>

// A stack of pages showing one at a time (layouts use QStackedWidget).
// Sends "tabselect" (wParam new page, lParam previous page) when the page
// changes through SelectItem.
class CTabLayoutUI : public QStackedWidget {
  Q_OBJECT

 public:
  using QStackedWidget::QStackedWidget;

  // False for an index outside the pages.
  bool SelectItem(int index);
  bool SelectItem(QWidget* page);
  int GetCurSel() const { return currentIndex(); }
};
