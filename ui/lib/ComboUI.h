#pragma once
#include <QPushButton>

class CListUI;
class QFrame;

// A button that drops down a list of rows (rows as in CListUI). Choosing a
// row closes the drop-down; the combo sends "itemselect" (wParam new index,
// lParam previous) as its own, and "dropdown" when the list opens. Controls
// inside the rows (a delete button) notify the window as usual.
//
// Skin property: "dropboxsize" ("width,height"; width 0 = the combo's width).
class CComboUI : public QPushButton {
  Q_OBJECT

 public:
  explicit CComboUI(QWidget* parent = nullptr);
  ~CComboUI() override;

  CListUI* GetList() const { return list_; }
  bool Add(QWidget* item);
  bool AddAt(QWidget* item, int index);
  bool Remove(QWidget* item);
  void RemoveAll();
  int GetCount() const;
  QWidget* GetItemAt(int index) const;
  bool SelectItem(int index);
  int GetCurSel() const;

  void ShowDropDown();
  void HideDropDown();
  bool IsDropDownShown() const;

 private:
  QFrame* popup_ = nullptr;
  CListUI* list_ = nullptr;
};
