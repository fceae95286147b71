#pragma once
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class QScrollArea;
class QScrollBar;
class QVBoxLayout;
class QHBoxLayout;
class CListElementUI;

// A list of row controls in a scrolling column. Rows are CListElementUI:
// container rows built from item templates (CListContainerElementUI) or text
// rows with one text per column (CListTextElementUI). Rows hidden with
// setVisible(false) take no space and keep their index.
//
// Notifications (to the window holding the list): "itemselect" from the list
// (wParam new index, lParam previous index), "menu" on a right click; rows send
// "itemclick" (button pressed), "itemactivate" (double click), "item_in" and
// "item_leave" (pointer enters / leaves).
//
// Skin properties: "columns" ("title;title"), "columnwidths" ("120;80"),
// "itemselectedbkcolor", "itemhotbkcolor", "itemtextcolor" (#AARRGGBB).
class CListUI : public QWidget {
  Q_OBJECT

 public:
  explicit CListUI(QWidget* parent = nullptr);
  ~CListUI() override;

  // Takes ownership of `item` (a CListElementUI); false for anything else or
  // an index outside 0 … count.
  bool Add(QWidget* item);
  bool AddAt(QWidget* item, int index);
  // Removes and destroys the row (destruction is deferred, so a row may be
  // removed from inside its own notification).
  bool Remove(QWidget* item);
  bool RemoveAt(int index);
  // Removes the row without destroying it and hands it to the caller, who
  // adds it again (to this list) or deletes it; until then it is a hidden
  // child of the list. Null for an index out of range.
  CListElementUI* TakeAt(int index);
  void RemoveAll();

  int GetCount() const { return static_cast<int>(items_.size()); }
  CListElementUI* GetItemAt(int index) const;
  int GetItemIndex(const QWidget* item) const;

  // Selects row `index` (-1 clears the selection) and scrolls it into view;
  // sends "itemselect" when the selection changed. False for an index out of
  // range.
  bool SelectItem(int index);
  int GetCurSel() const { return current_; }
  void EnsureVisible(int index);

  // Column titles and widths for text rows; the last column takes the rest.
  void SetColumns(const QStringList& titles, const QList<int>& widths);
  int GetColumnCount() const { return static_cast<int>(columnWidths_.size()); }
  // Left edge and width of a column inside a row `rowWidth` pixels wide.
  QPair<int, int> columnSpan(int column, int rowWidth) const;

  QScrollBar* GetVerticalScrollBar() const;
  int GetScrollPos() const;
  void SetScrollPos(int pos);
  int GetScrollRange() const;

  QColor itemSelectedColor() const;
  QColor itemHotColor() const;
  QColor itemTextColor() const;

  // Notifications of the list go out as sent by `sender` (a combo box sends
  // the selections of its drop-down list as its own).
  void setNotifySender(QWidget* sender) { notifySender_ = sender; }
  QWidget* notifySender() { return notifySender_ ? notifySender_.data() : this; }

  // Re-reads the skin properties above (after a layout set them).
  void applySkinProperties();

 signals:
  void rowClicked(int index);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  friend class CListElementUI;
  void reindexFrom(int index);
  void rowPressed(CListElementUI* row, Qt::MouseButton button);

  QScrollArea* scroll_ = nullptr;
  QWidget* content_ = nullptr;
  QVBoxLayout* rows_ = nullptr;
  QWidget* header_ = nullptr;
  QHBoxLayout* headerLayout_ = nullptr;
  QList<CListElementUI*> items_;
  QList<int> columnWidths_;
  int current_ = -1;
  QPointer<QWidget> notifySender_;
};

// One row of a CListUI: paints the selected and hot states under its content.
class CListElementUI : public QWidget {
  Q_OBJECT

 public:
  explicit CListElementUI(QWidget* parent = nullptr);

  CListUI* GetOwner() const { return owner_; }
  int GetIndex() const { return index_; }
  bool IsSelected() const { return selected_; }
  bool IsHot() const { return hot_; }
  // Selects this row in its list.
  bool Select();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  friend class CListUI;
  QPointer<CListUI> owner_;
  int index_ = -1;
  bool selected_ = false;
  bool hot_ = false;
};

// A row holding controls (the root of an item template).
class CListContainerElementUI : public CListElementUI {
  Q_OBJECT

 public:
  using CListElementUI::CListElementUI;
};

// A row of texts, one per column of its list.
class CListTextElementUI : public CListElementUI {
  Q_OBJECT

 public:
  using CListElementUI::CListElementUI;

  void SetText(int column, const QString& text);
  QString GetText(int column) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QStringList texts_;
};
