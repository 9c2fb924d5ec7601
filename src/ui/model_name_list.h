#pragma once
// The rows of the model browser: model names (Windows-1252 bytes) kept in one buffer, decoded only
// when a row is shown. A scene can name tens of thousands of models; one item object per name
// made the list slow to fill and to clear.

#include <QAbstractListModel>
#include <QString>
#include <span>
#include <string_view>
#include <vector>

#include "objects/model_listing.h"
#include "scene/scene_image.h"

namespace quorvex::ui {

class ModelNameList : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit ModelNameList(QObject* parent = nullptr);

  // Removes every row.
  void clear();
  // Adds one row holding `bytes` (a name, or a placeholder such as "Processing" or "").
  void appendName(std::string_view bytes);
  // Adds one row per listed name, in the given order, as one insertion: the bytes of each name
  // are read from `image`. A name that does not lie inside the image gives an empty row. Meant to
  // be called with blocks of a listing, handing out events between the blocks. Fails with the
  // image's read failure: the rows added then may hold zeros instead of names.
  Status appendNames(const SceneImage& image, std::span<const ModelName> names);

  int count() const { return static_cast<int>(ends_.size()); }
  // The bytes of row `row` (0 <= row < count()).
  std::string_view nameBytes(int row) const;
  // The row as the list shows it: one character per byte.
  QString text(int row) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  // Qt::DisplayRole gives text(row); no other role has data.
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  ByteString buffer_;              // every name, one after the other
  std::vector<std::size_t> ends_;  // where each row's name ends in buffer_
};

}  // namespace quorvex::ui
