// A window larger than its design size: the extra room goes to the file lists, the middle panel,
// the script list and the script box; everything under them moves down with the bottom edge.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>

#include "ui/byte_text_edit.h"
#include "ui/model_list_view.h"
#include "ui/overview_view.h"

#include "ui/form1.h"

namespace quorvex::ui {
namespace {

// Shares of the extra width: where the left column ends and where the middle one ends. The two
// columns with text to read get most of it.
constexpr double kFilesEnd = 0.2;
constexpr double kMiddleEnd = 0.6;
// Shares of the extra height: where the folder list ends (the file list takes the rest) and where
// the script list ends (the script box takes the rest).
constexpr double kFoldersEnd = 0.5;
constexpr double kScriptListEnd = 0.25;

}  // namespace

QSize Form1::designSize() const {
  return {twips_.px(11430), twips_.px(8265)};
}

void Form1::anchorControls() {
  const auto anchor = [this](std::initializer_list<QWidget*> widgets, EdgeShares shares) {
    for (QWidget* widget : widgets) stretch_.add(widget, shares);
  };
  constexpr double f = kFilesEnd, m = kMiddleEnd;

  // Left column: the drive list widens; the folder and file lists share the extra height.
  anchor({Drive1_}, {0, 0, f, 0});
  anchor({Dir1_}, {0, 0, f, kFoldersEnd});
  anchor({File1_}, {0, kFoldersEnd, f, 1});
  anchor({Text2_[6]}, {0, 1, 0, 1});
  anchor({Label3_}, {0, 1, f, 1});

  // Middle column: the switches and the status stay at the top; the shared panel area grows; the
  // row under it moves down.
  anchor({Check2_, Label7_, Option1_, Option2_, Check1_, Label5_, Label6_, Label8_, Text2_[4],
          Text2_[2], Command2_},
         {f, 0, f, 0});
  anchor({RichTextBox1_, List1_, Frame1_}, {f, 0, m, 1});
  anchor({ProgressBar2_, Text3_}, {f, 1, m, 1});
  anchor({Command3_, Command4_, Command1_}, {f, 1, f, 1});

  // Right column: the script list and the script box share the extra height; the lengths stay at
  // the left of the bottom row and "Save" at its right.
  anchor({ProgressBar1_}, {m, 0, 1, 0});
  anchor({List2_}, {m, 0, 1, kScriptListEnd});
  anchor({Text1_}, {m, kScriptListEnd, 1, 1});
  anchor({Text2_[8], Text2_[3], Text2_[7], Text2_[0], Text2_[1]}, {m, 1, m, 1});
  anchor({Save_}, {1, 1, 1, 1});
}

void Form1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  stretch_.apply(event->size() - designSize());
}

}  // namespace quorvex::ui
