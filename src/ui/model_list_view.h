#pragma once
// The model browser's list: a list view over a ModelNameList it owns, set up for many rows of the
// same height. Reads like the item list it replaces: count() and text(row).

#include <QListView>

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

 private:
  ModelNameList* names_;
};

}  // namespace quorvex::ui
