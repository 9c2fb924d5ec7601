#include "ui/model_list_view.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QStyledItemDelegate>

#include "scene/text_codec.h"

namespace quorvex::ui {
namespace {

// Gives every row the size of the widest one.
class WidestRowDelegate : public QStyledItemDelegate {
 public:
  explicit WidestRowDelegate(ModelListView* view) : QStyledItemDelegate(view), view_(view) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QModelIndex widest = view_->model()->index(view_->widestRow(), 0);
    return QStyledItemDelegate::sizeHint(option, widest.isValid() ? widest : index);
  }

 private:
  ModelListView* view_;
};

}  // namespace

ModelListView::ModelListView(QWidget* parent) : QListView(parent), names_(new ModelNameList(this)) {
  updateAdvances();
  setModel(names_);
  setItemDelegate(new WidestRowDelegate(this));
  setUniformItemSizes(true);
  // Rows are laid out a batch at a time between events, not all at once.
  setLayoutMode(QListView::Batched);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  connect(names_, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { measureRows(first, last); });
  connect(names_, &QAbstractItemModel::modelReset, this, [this] {
    widestRow_ = -1;
    widestWidth_ = -1;
  });
}

void ModelListView::updateAdvances() {
  const QFontMetricsF metrics(font());
  for (int byte = 0; byte < 256; ++byte) {
    advances_[static_cast<std::size_t>(byte)] = metrics.horizontalAdvance(
        QChar(static_cast<char16_t>(Cp1252ToUnicode(static_cast<std::uint8_t>(byte)))));
  }
}

void ModelListView::measureRows(int first, int last) {
  for (int row = first; row <= last; ++row) {
    qreal width = 0;
    for (const char byte : names_->nameBytes(row)) {
      width += advances_[static_cast<std::uint8_t>(byte)];
    }
    if (width > widestWidth_) {
      widestWidth_ = width;
      widestRow_ = row;
    }
  }
}

void ModelListView::changeEvent(QEvent* event) {
  QListView::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    updateAdvances();
    if (count() == 0) return;
    widestRow_ = -1;
    widestWidth_ = -1;
    measureRows(0, count() - 1);
    doItemsLayout();
  }
}

}  // namespace quorvex::ui
