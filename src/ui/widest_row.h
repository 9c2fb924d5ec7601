#pragma once
// Lists of thousands of one-line rows (the script list, the model list) are laid out with every
// row the size of the widest one: the view, set to uniform row sizes, then asks for one size
// instead of measuring each row in turn (measuring 5000 rows stalls the window for about 15 ms),
// and still scrolls as far as its longest text. The widest row is found by adding up the advances
// of each text's characters, one table lookup per character, as the rows are added.

#include <QFont>
#include <QObject>
#include <QStyledItemDelegate>
#include <array>
#include <functional>
#include <string_view>

class QListView;

namespace quorvex::ui {

// The advance of every character a scene byte stands for (Windows-1252), in one font.
class CharacterAdvances {
 public:
  void setFont(const QFont& font);
  qreal width(std::string_view bytes) const;
  // Characters outside the table (none that a scene text decodes to) are measured one by one.
  qreal width(const QString& text) const;

 private:
  QFont font_;
  std::array<qreal, 256> advances_{};
};

// Answers every row's size with the size of the row `widestRow` names (-1: the row asked about).
class WidestRowDelegate : public QStyledItemDelegate {
 public:
  WidestRowDelegate(QObject* parent, std::function<int()> widestRow);
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  std::function<int()> widestRow_;
};

// Keeps `view` (whose model must be set already) at uniform row sizes, each the size of its
// widest row: follows the rows its model adds, changes and removes, and the view's font.
class WidestRowTracker : public QObject {
 public:
  // The width of a row's text; by default that of its displayed text.
  using RowWidth = std::function<qreal(const CharacterAdvances& advances, int row)>;
  explicit WidestRowTracker(QListView* view, RowWidth rowWidth = nullptr);
  int widestRow() const { return widestRow_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Takes rows first .. last into account; false when the widest row is among them and has
  // become narrower, so that another row may be the widest now.
  [[nodiscard]] bool measure(int first, int last);
  void measureAll();

  QListView* view_;
  // The rows are read from the model itself: it signals its last changes while the view is
  // being destroyed, when the view can no longer be asked for it.
  const QAbstractItemModel* model_;
  RowWidth rowWidth_;
  CharacterAdvances advances_;
  int widestRow_ = -1;
  qreal widestWidth_ = -1;
};

}  // namespace quorvex::ui
