#include "ui/model_name_list.h"

#include "ui/scene_text.h"

namespace quorvex::ui {

ModelNameList::ModelNameList(QObject* parent) : QAbstractListModel(parent) {}

void ModelNameList::clear() {
  if (ends_.empty()) return;
  beginResetModel();
  ByteString().swap(buffer_);
  std::vector<std::size_t>().swap(ends_);
  endResetModel();
}

void ModelNameList::appendName(std::string_view bytes) {
  beginInsertRows(QModelIndex(), count(), count());
  buffer_.append(bytes);
  ends_.push_back(buffer_.size());
  endInsertRows();
}

Status ModelNameList::appendNames(const SceneImage& image, std::span<const ModelName> names) {
  if (names.empty()) return OkStatus();
  beginInsertRows(QModelIndex(), count(), count() + static_cast<int>(names.size()) - 1);
  ends_.reserve(ends_.size() + names.size());
  for (const ModelName& name : names) {
    const std::size_t before = buffer_.size();
    const bool inside = image.forEachRun(name.start, name.length, [this](auto piece) {
      buffer_.append(reinterpret_cast<const char*>(piece.data()), piece.size());
    });
    if (!inside) buffer_.resize(before);
    ends_.push_back(buffer_.size());
  }
  endInsertRows();
  return CheckedRead(image, OkStatus());
}

std::string_view ModelNameList::nameBytes(int row) const {
  const auto at = static_cast<std::size_t>(row);
  const std::size_t start = at == 0 ? 0 : ends_[at - 1];
  return std::string_view(buffer_).substr(start, ends_[at] - start);
}

QString ModelNameList::text(int row) const {
  return FromSceneBytes(nameBytes(row));
}

int ModelNameList::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : count();
}

QVariant ModelNameList::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
  return text(index.row());
}

}  // namespace quorvex::ui
