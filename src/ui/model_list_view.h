#pragma once
// The model browser's list: a list view over a ModelNameList it owns, set up for many rows of one
// line each. Reads like the item list it replaces: count() and text(row).
//
// Rows are laid out as all of one size, the widest name's (ui/widest_row.h).

#include <QListView>

#include "ui/model_name_list.h"
#include "ui/widest_row.h"

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
  int widestRow() const;

 private:
  ModelNameList* names_;
  WidestRowTracker* widest_;
};

}  // namespace quorvex::ui
