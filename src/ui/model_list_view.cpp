#include "ui/model_list_view.h"

namespace quorvex::ui {

ModelListView::ModelListView(QWidget* parent) : QListView(parent), names_(new ModelNameList(this)) {
  setModel(names_);
  // Every row is one line of text: the view sizes one row and lays out the rest by arithmetic.
  setUniformItemSizes(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
}

}  // namespace quorvex::ui
