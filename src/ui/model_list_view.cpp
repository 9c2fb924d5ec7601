#include "ui/model_list_view.h"

namespace quorvex::ui {

ModelListView::ModelListView(QWidget* parent) : QListView(parent), names_(new ModelNameList(this)) {
  setModel(names_);
  // Measured from the bytes: tens of thousands of names, none decoded for it.
  widest_ = new WidestRowTracker(this, [this](const CharacterAdvances& advances, int row) {
    return advances.width(names_->nameBytes(row));
  });
  // Rows are laid out a batch at a time between events, not all at once.
  setLayoutMode(QListView::Batched);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
}

int ModelListView::widestRow() const {
  return widest_->widestRow();
}

}  // namespace quorvex::ui
