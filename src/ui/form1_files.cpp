// The file browser: drive list, folder list and the "*.bin" file list, kept in step.
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QStyle>

#include "ui/form1.h"

namespace quorvex::ui {
namespace {

QString CleanFolder(const QString& path) {
  return QDir::cleanPath(QDir(path).absolutePath());
}

}  // namespace

void Form1::Drive1_Change() {
  const QString drive = Drive1_->currentText();
  if (!QFileInfo(drive).isReadable()) {
    // A drive without a medium cannot be shown: keep the previous drive and folder.
    warn(QString::fromLatin1(kAppTitle), QStringLiteral("The drive %1 cannot be read.").arg(drive));
    for (int i = 0; i < Drive1_->count(); ++i) {
      if (dir1Path_.startsWith(Drive1_->itemText(i), Qt::CaseInsensitive)) {
        const QSignalBlocker quiet(Drive1_);
        Drive1_->setCurrentIndex(i);
      }
    }
    return;
  }
  setDir1Path(drive);
}

void Form1::setDir1Path(const QString& path) {
  const QString folder = CleanFolder(path);
  if (folder == dir1Path_) return;  // the same folder raises no change
  dir1Path_ = folder;
  fillDir1();
  Dir1_Change();
}

void Form1::fillDir1() {
  // As a folder list shows a path: each folder on the way from the drive, one step further in,
  // the current one open and marked, then its subfolders.
  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
  QStringList way;
  for (QDir up(dir1Path_);;) {
    way.prepend(up.absolutePath());
    if (up.isRoot() || !up.cdUp()) break;
  }
  const QSignalBlocker quiet(Dir1_);
  Dir1_->clear();
  QListWidgetItem* current = nullptr;
  int depth = 0;
  for (const QString& folder : way) {
    const QString name = depth == 0 ? QDir::toNativeSeparators(folder) : QDir(folder).dirName();
    auto* item = new QListWidgetItem(open, QString(depth * 2, QLatin1Char(' ')) + name, Dir1_);
    item->setData(Qt::UserRole, folder);
    current = item;
    ++depth;
  }
  const QFileInfoList subfolders = QDir(dir1Path_).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot,
                                                                 QDir::Name | QDir::IgnoreCase);
  for (const QFileInfo& sub : subfolders) {
    auto* item =
        new QListWidgetItem(closed, QString(depth * 2, QLatin1Char(' ')) + sub.fileName(), Dir1_);
    item->setData(Qt::UserRole, sub.absoluteFilePath());
  }
  if (current != nullptr) {
    Dir1_->setCurrentItem(current);
    Dir1_->scrollToItem(current, QAbstractItemView::PositionAtCenter);
  }
}

void Form1::Dir1_Change() {
  setFile1Path(dir1Path_);
  Label3_->setText(QString());
}

void Form1::setFile1Path(const QString& path) {
  const QString folder = CleanFolder(path);
  if (folder == file1Path_) return;
  if (!file1Path_.isEmpty()) file1Watcher_->removePath(file1Path_);
  file1Path_ = folder;
  file1Watcher_->addPath(file1Path_);
  File1_->clear();
  fillFile1();
  File1_PathChange();
}

void Form1::File1_PathChange() {
  setDir1Path(file1Path_);
}

void Form1::fillFile1() {
  // Refills the list from the folder, keeping the selected name when the file is still there.
  const QString selected = File1FileName();
  const QStringList names =
      QDir(file1Path_).entryList({QStringLiteral("*.bin")}, QDir::Files | QDir::Hidden, QDir::Name);
  const QSignalBlocker quiet(File1_);
  File1_->clear();
  File1_->addItems(names);
  const int row = static_cast<int>(names.indexOf(selected));
  if (!selected.isEmpty() && row >= 0) File1_->setCurrentRow(row);
}

QString Form1::File1FileName() const {
  const QListWidgetItem* item = File1_->currentItem();
  if (item == nullptr || !item->isSelected()) return QString();
  return item->text();
}

void Form1::File1_DblClick() {
  Label3_->setText(File1FileName());
}

QString Form1::joinFile1(const QString& name) const {
  // The separator is added only where the folder does not already end in one (a root folder).
  QString joined = file1Path_;
  if (!joined.endsWith(QLatin1Char('/'))) joined += QLatin1Char('/');
  return QDir::toNativeSeparators(joined + name);
}

bool Form1::takeScenePath() {
  const QString name = File1FileName();
  state_.ScenePath = name.isEmpty() ? std::string() : joinFile1(name).toUtf8().toStdString();
  return !name.isEmpty();
}

bool Form1::selectScene(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) return false;
  const QString folder = info.absolutePath();
  for (int i = 0; i < Drive1_->count(); ++i) {
    if (folder.startsWith(Drive1_->itemText(i), Qt::CaseInsensitive)) {
      const QSignalBlocker quiet(Drive1_);
      Drive1_->setCurrentIndex(i);
    }
  }
  setDir1Path(folder);
  fillFile1();
  const auto found = File1_->findItems(info.fileName(), Qt::MatchExactly);
  if (found.isEmpty()) return false;
  File1_->setCurrentItem(found.first());
  found.first()->setSelected(true);
  File1_->scrollToItem(found.first());
  return true;
}

}  // namespace quorvex::ui
