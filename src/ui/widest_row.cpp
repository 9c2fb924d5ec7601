#include "ui/widest_row.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QListView>

#include "scene/text_codec.h"

namespace quorvex::ui {

void CharacterAdvances::setFont(const QFont& font) {
  font_ = font;
  const QFontMetricsF metrics(font);
  for (int byte = 0; byte < 256; ++byte) {
    advances_[static_cast<std::size_t>(byte)] = metrics.horizontalAdvance(
        QChar(static_cast<char16_t>(Cp1252ToUnicode(static_cast<std::uint8_t>(byte)))));
  }
}

qreal CharacterAdvances::width(std::string_view bytes) const {
  qreal width = 0;
  for (const char byte : bytes) width += advances_[static_cast<std::uint8_t>(byte)];
  return width;
}

qreal CharacterAdvances::width(const QString& text) const {
  qreal width = 0;
  for (const QChar ch : text) {
    width +=
        ch.unicode() < 256 ? advances_[ch.unicode()] : QFontMetricsF(font_).horizontalAdvance(ch);
  }
  return width;
}

WidestRowDelegate::WidestRowDelegate(QObject* parent, std::function<int()> widestRow)
    : QStyledItemDelegate(parent), widestRow_(std::move(widestRow)) {}

QSize WidestRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
  const QModelIndex widest = index.model()->index(widestRow_(), index.column(), index.parent());
  return QStyledItemDelegate::sizeHint(option, widest.isValid() ? widest : index);
}

WidestRowTracker::WidestRowTracker(QListView* view, RowWidth rowWidth)
    : QObject(view), view_(view), model_(view->model()), rowWidth_(std::move(rowWidth)) {
  if (!rowWidth_) {
    rowWidth_ = [this](const CharacterAdvances& advances, int row) {
      return advances.width(model_->index(row, 0).data(Qt::DisplayRole).toString());
    };
  }
  advances_.setFont(view->font());
  view->setItemDelegate(new WidestRowDelegate(this, [this] { return widestRow_; }));
  view->setUniformItemSizes(true);
  view->installEventFilter(this);
  connect(model_, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) {
            // The rows after the inserted ones move down: a widest row among them moves too.
            if (widestRow_ >= first) widestRow_ += last - first + 1;
            (void)measure(first, last);
          });
  connect(model_, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& from, const QModelIndex& to) {
            // Only a widest row that became narrower (a new text) asks for every row again; a
            // new check mark leaves its text as it was.
            if (!measure(from.row(), to.row())) measureAll();
          });
  connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] { measureAll(); });
  connect(model_, &QAbstractItemModel::modelReset, this, [this] { measureAll(); });
}

bool WidestRowTracker::measure(int first, int last) {
  bool stillWidest = true;
  for (int row = first; row <= last; ++row) {
    const qreal width = rowWidth_(advances_, row);
    if (width > widestWidth_) {
      widestWidth_ = width;
      widestRow_ = row;
    } else if (row == widestRow_ && width < widestWidth_) {
      stillWidest = false;
    }
  }
  return stillWidest;
}

void WidestRowTracker::measureAll() {
  widestRow_ = -1;
  widestWidth_ = -1;
  (void)measure(0, model_->rowCount() - 1);
}

bool WidestRowTracker::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_ && event->type() == QEvent::FontChange) {
    advances_.setFont(view_->font());
    measureAll();
    view_->doItemsLayout();
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace quorvex::ui
