#pragma once
// The model browser's list: a list view over a ModelNameList it owns, set up for many rows of one
// line each. Reads like the item list it replaces: count() and text(row).
//
// Rows are laid out as all of one size, so the view measures one row instead of every row; that
// size is the widest name's, so that a long name anywhere in the list can be scrolled to. Names are
// measured as they are added by adding up the advances of their characters (one table lookup per
// byte; measuring each name as text would cost more than adding the rows).

#include <QListView>
#include <array>

#include "ui/model_name_list.h"

namespace quorvex::ui {

class ModelListView : public QListView {
  Q_OBJECT

 public:
  explicit ModelListView(QWidget* parent = nullptr);

  // The rows; fill and empty the list through it.
  ModelNameList* names() const { return names_; }
  int count() const { return names_->count(); }
  QString text(int row) const { return names_->text(row); }

  // The row whose text is widest in the view's font; -1 for an empty list.
  int widestRow() const { return widestRow_; }

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void measureRows(int first, int last);
  void updateAdvances();

  ModelNameList* names_;
  std::array<qreal, 256> advances_{};  // in the view's font, of each byte's character
  int widestRow_ = -1;
  qreal widestWidth_ = -1;
};

}  // namespace quorvex::ui
