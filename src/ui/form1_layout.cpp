// The controls of the window: names, kinds, design texts, positions (twips) and start states.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileSystemWatcher>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

#include "ui/buddy_label.h"
#include "ui/byte_text_edit.h"
#include "ui/dial_canvas.h"
#include "ui/form1.h"
#include "ui/model_list_view.h"
#include "ui/overview_view.h"
#include "ui/script_edit.h"
#include "ui/widest_row.h"

namespace quorvex::ui {
namespace {

// Heights of the kinds of control whose height the layout leaves open.
constexpr int kLineHeight = 285;
constexpr int kButtonHeight = 375;
constexpr int kOptionHeight = 255;

template <class W>
W* Place(W* widget, const char* name, const Twips& twips, int left, int top, int width,
         int height) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(twips.rect(left, top, width, height));
  return widget;
}

// A text box used as a caption: read-only, frameless, no tab stop.
QLineEdit* Caption(QWidget* parent, const char* name, const QString& text, const Twips& twips,
                   int left, int top, int width) {
  auto* box = Place(new QLineEdit(text, parent), name, twips, left, top, width, kLineHeight);
  box->setReadOnly(true);
  box->setFrame(false);
  box->setFocusPolicy(Qt::NoFocus);
  QPalette palette = box->palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::Window));
  box->setPalette(palette);
  return box;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text, const Twips& twips, int left,
              int top, int width) {
  return Place(new QLabel(text, parent), name, twips, left, top, width, kOptionHeight);
}

// A drive as the drive list shows it. On Windows the letter and a colon, as "c:": that is also the
// name of the drive's current folder, which is where choosing a drive takes the folder list.
// Elsewhere the one root, "/".
QString DriveText(const QFileInfo& drive) {
#ifdef Q_OS_WIN
  return drive.absoluteFilePath().left(2).toLower();
#else
  return drive.absoluteFilePath();
#endif
}

}  // namespace

void Form1::createControls() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromLatin1(kCaption));
  QFont font(QStringLiteral("Times New Roman"));
  font.setStyleHint(QFont::Serif);
  font.setPointSize(9);
  setFont(font);
  // The design size is the smallest; a larger or maximized window gives the extra room to the
  // lists and text boxes.
  setMinimumSize(designSize());
  resize(designSize());

  createFileBrowser();
  createMiddleColumn();
  createInsertPanel();
  createRightColumn();

  Timer1_ = new QTimer(this);
  Timer1_->setObjectName(QStringLiteral("Timer1"));
  Timer1_->setInterval(500);
  Timer1_->setSingleShot(true);
  anchorControls();
  overviewTimer_ = new QTimer(this);
  overviewTimer_->setSingleShot(true);
  overviewTimer_->setInterval(0);
}

void Form1::createFileBrowser() {
  Drive1_ = Place(new QComboBox(this), "Drive1", twips_, 120, 360, 2175, 315);
  for (const QFileInfo& drive : QDir::drives()) Drive1_->addItem(DriveText(drive));

  Dir1_ = Place(new QListWidget(this), "Dir1", twips_, 120, 840, 2175, 5265);
  Dir1_->setSelectionMode(QAbstractItemView::SingleSelection);

  File1_ = Place(new QListWidget(this), "File1", twips_, 120, 6240, 2175, 1260);
  File1_->setSelectionMode(QAbstractItemView::SingleSelection);
  file1Watcher_ = new QFileSystemWatcher(this);

  Text2_[6] = Caption(this, "Text2_6", QStringLiteral("Choice:"), twips_, 240, 7680, 735);
  Label3_ = Place(new QLabel(this), "Label3", twips_, 1080, 7680, 1215, kLineHeight);
}

void Form1::createMiddleColumn() {
  Check2_ = Place(new QCheckBox(QStringLiteral("Insert Model"), this), "Check2", twips_, 2640, 240,
                  1575, kOptionHeight);
  Label7_ = Label(this, "Label7", QStringLiteral("Script"), twips_, 2640, 600, 1095);

  // The two mode buttons and the check box have their captions in separate labels. The buttons
  // do not switch each other: the handlers decide, because a click is refused while the insert
  // panel is open.
  Option1_ = Place(new QRadioButton(this), "Option1", twips_, 2640, 960, 255, kOptionHeight);
  Option2_ = Place(new QRadioButton(this), "Option2", twips_, 2640, 1200, 255, kOptionHeight);
  Option1_->setAutoExclusive(false);
  Option2_->setAutoExclusive(false);
  Check1_ = Place(new QCheckBox(this), "Check1", twips_, 2640, 1440, 255, kOptionHeight);
  Label5_ = Place(new BuddyLabel(QStringLiteral("overview"), Option1_, this), "Label5", twips_,
                  2940, 960, 1095, kOptionHeight);
  Label6_ = Place(new BuddyLabel(QStringLiteral("models"), Option2_, this), "Label6", twips_, 2940,
                  1200, 1095, kOptionHeight);
  Label8_ = Place(new BuddyLabel(QStringLiteral("auto refresh"), Check1_, this), "Label8", twips_,
                  2940, 1440, 1095, kOptionHeight);

  Text2_[4] = Caption(this, "Text2_4", QStringLiteral("Status"), twips_, 4440, 240, 1095);
  Text2_[2] = Place(new QLineEdit(this), "Text2_2", twips_, 4200, 600, 1815, 450);
  Text2_[2]->setReadOnly(true);
  Text2_[2]->setFocusPolicy(Qt::NoFocus);
  {
    QPalette palette = Text2_[2]->palette();
    palette.setColor(QPalette::Base, QColor(0xC0, 0xC0, 0xC0));
    Text2_[2]->setPalette(palette);
    QFont bold = Text2_[2]->font();
    bold.setBold(true);
    Text2_[2]->setFont(bold);
  }
  Command2_ = Place(new QPushButton(QStringLiteral("Start"), this), "Command2", twips_, 4200, 1320,
                    1815, kButtonHeight);

  // The model list lies under the overview text in the same area; hiding the overview uncovers
  // it.
  List1_ = Place(new ModelListView(this), "List1", twips_, 2520, 1920, 4335, 5130);
  RichTextBox1_ = Place(new OverviewView(this), "RichTextBox1", twips_, 2520, 1920, 4335, 5655);

  ProgressBar2_ = Place(new QProgressBar(this), "ProgressBar2", twips_, 2880, 7320, 3855, 255);
  ProgressBar2_->setRange(0, 100);
  ProgressBar2_->setValue(0);
  ProgressBar2_->setTextVisible(false);

  Command3_ = Place(new QPushButton(QStringLiteral("start"), this), "Command3", twips_, 2520, 7680,
                    735, kButtonHeight);
  Command4_ = Place(new QPushButton(QStringLiteral("search"), this), "Command4", twips_, 3360, 7680,
                    855, kButtonHeight);
  Text3_ = Place(new QLineEdit(this), "Text3", twips_, 4320, 7680, 2535, kButtonHeight);
  Command1_ = Place(new QPushButton(QStringLiteral("search"), this), "Command1", twips_, 3960, 7680,
                    1575, kButtonHeight);
}

void Form1::createInsertPanel() {
  Frame1_ = Place(new QGroupBox(this), "Frame1", twips_, 2520, 1680, 4335, 6375);
  // The panel covers the overview and the model list in the same area; painted see-through, the
  // model list would show through it and cut across its lower boxes.
  Frame1_->setAutoFillBackground(true);
  QWidget* f = Frame1_;

  categoryGroup_ = new QButtonGroup(this);
  categoryGroup_->setExclusive(true);
  const auto option = [&](int number, const char* text, int left, int top, int width) {
    const QByteArray name = "Option" + QByteArray::number(number);
    auto* button = Place(new QRadioButton(QString::fromLatin1(text), f), name.constData(), twips_,
                         left, top, width, kOptionHeight);
    categoryGroup_->addButton(button, number);
    Option_[static_cast<std::size_t>(number)] = button;
  };
  const auto text = [&](int number, int left, int top, int width) {
    const QByteArray name = "Text" + QByteArray::number(number);
    Text_[static_cast<std::size_t>(number)] =
        Place(new QLineEdit(f), name.constData(), twips_, left, top, width, kLineHeight);
  };

  Label(f, "Label14", QStringLiteral("Human:"), twips_, 120, 240, 720);
  option(3, "female", 840, 240, 1035);
  option(5, "male", 1920, 240, 915);
  option(6, "policeman", 2880, 240, 1335);
  Label(f, "Label15", QStringLiteral("Car:"), twips_, 120, 600, 720);
  option(7, "car", 840, 600, 1035);
  option(8, "truck", 1920, 600, 915);
  option(9, "policecar", 2880, 600, 1335);
  option(4, "things", 1200, 960, 1155);
  option(10, "others", 2400, 960, 1155);

  Label(f, "Label9", QStringLiteral("Name"), twips_, 120, 1320, 720);
  text(4, 840, 1320, 3375);
  Label(f, "Label10", QStringLiteral("Translation"), twips_, 120, 1800, 1215);
  Label(f, "Label17", QStringLiteral("X"), twips_, 600, 2040, 255);
  Label(f, "Label18", QStringLiteral("Y"), twips_, 2040, 2040, 255);
  Label(f, "Label19", QStringLiteral("Z"), twips_, 3480, 2040, 255);
  text(5, 120, 2280, 1335);
  text(6, 1560, 2280, 1335);
  text(7, 3000, 2280, 1215);
  Label(f, "Label11", QStringLiteral("Size"), twips_, 120, 2760, 1215);
  Label(f, "Label20", QStringLiteral("X"), twips_, 600, 2880, 255);
  Label(f, "Label21", QStringLiteral("Y"), twips_, 2040, 2880, 255);
  Label(f, "Label22", QStringLiteral("Z"), twips_, 3480, 2880, 255);
  text(8, 120, 3120, 1335);
  text(9, 1560, 3120, 1335);
  text(10, 3000, 3120, 1215);
  Label(f, "Label13", QStringLiteral("Rotation"), twips_, 120, 3600, 1095);

  Slider1_ = Place(new QSlider(Qt::Vertical, f), "Slider1", twips_, 1320, 3480, 375, 1575);
  Slider1_->setRange(-90, 90);
  Slider1_->setValue(0);
  Slider1_->setInvertedAppearance(true);  // -90 at the top, as the value grows downwards

  // The dial: circle, fixed cross, the two bar halves and the heading pointer, drawn for 0.
  constexpr int kDialLeft = 2160, kDialTop = 3480;
  dial_ = Place(new DialCanvas(f, twips_, kDialLeft, kDialTop), "RotationDial", twips_, kDialLeft,
                kDialTop, 1440, 1440);
  using Kind = DialFigure::Kind;
  new DialFigure(dial_, QStringLiteral("Shape1"), Kind::Circle, 2400, 3600, 3375, 4815);
  new DialFigure(dial_, QStringLiteral("Line9"), Kind::Line, 2280, 4200, 3480, 4200);
  new DialFigure(dial_, QStringLiteral("Line10"), Kind::Line, 2880, 3600, 2880, 4800);
  new DialFigure(dial_, QStringLiteral("Line7"), Kind::Line, 3380, 4200, 2880, 4200, Qt::blue, 4);
  new DialFigure(dial_, QStringLiteral("Line11"), Kind::Line, 2880, 4200, 2380, 4200, Qt::blue, 4);
  new DialFigure(dial_, QStringLiteral("Line12"), Kind::Line, 2880, 4200, 2880, 4050, Qt::blue, 15);

  Label(f, "Label12", QStringLiteral("Model"), twips_, 120, 5160, 600);
  text(11, 720, 5085, 3495);
  ProgressBar3_ = Place(new QProgressBar(f), "ProgressBar3", twips_, 120, 5520, 4095, 255);
  ProgressBar3_->setRange(0, 100);
  ProgressBar3_->setValue(0);
  ProgressBar3_->setTextVisible(false);
  Command5_ = Place(new QPushButton(QStringLiteral("Insert/Modify"), f), "Command5", twips_, 1440,
                    5880, 1455, kButtonHeight);
  Frame1_->hide();
}

void Form1::createRightColumn() {
  // The list ends above the script box, which would otherwise cover its last row, and shows
  // whole rows only.
  List2_ = Place(new QListWidget(this), "List2", twips_, 6960, 240, 4335, 1800 - 240);
  {
    auto* probe = new QListWidgetItem(QStringLiteral("Xg"), List2_);
    probe->setCheckState(Qt::Unchecked);
    const int rowHeight = List2_->sizeHintForRow(0);
    delete probe;
    const int frame = 2 * List2_->frameWidth();
    if (rowHeight > 0 && List2_->height() > frame + rowHeight) {
      List2_->resize(List2_->width(), frame + (List2_->height() - frame) / rowHeight * rowHeight);
    }
  }
  // A scan writes up to 5001 rows: laid out as rows of one size, the widest row's.
  new WidestRowTracker(List2_);
  // The scan's progress bar shares the top of the script list; it is shown while a scan runs.
  ProgressBar1_ = Place(new QProgressBar(this), "ProgressBar1", twips_, 7440, 240, 3855, 255);
  ProgressBar1_->setRange(0, 30);
  ProgressBar1_->setValue(0);
  ProgressBar1_->setTextVisible(false);
  ProgressBar1_->hide();

  auto* scriptBox = Place(new ScriptEdit(this), "Text1", twips_, 6960, 1800, 4095, 5775);
  scriptBox->setMessageService(messages_.get());
  Text1_ = scriptBox;
  QFont scriptFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  scriptFont.setPointSize(8);
  scriptFont.setBold(false);
  Text1_->setFont(scriptFont);
  Text1_->setTabStopDistance(QFontMetricsF(scriptFont).horizontalAdvance(QLatin1Char(' ')) * 4);
  RichTextBox1_->setFont(scriptFont);
  RichTextBox1_->setTabWidth(4);  // as in the script box

  Text2_[8] = Caption(this, "Text2_8", QStringLiteral("Length"), twips_, 7200, 7800, 735);
  Text2_[3] = Caption(this, "Text2_3", QStringLiteral("org:"), twips_, 8040, 7680, 480);
  Text2_[7] = Caption(this, "Text2_7", QStringLiteral("act:"), twips_, 8040, 7920, 480);
  Text2_[3]->setFixedHeight(twips_.px(195));
  Text2_[7]->setFixedHeight(twips_.px(225));
  Text2_[0] = Place(new QLineEdit(this), "Text2_0", twips_, 8520, 7680, 1095, 195);
  Text2_[1] = Place(new QLineEdit(this), "Text2_1", twips_, 8520, 7875, 1095, 255);
  for (QLineEdit* length : {Text2_[0], Text2_[1]}) {
    length->setReadOnly(true);
    length->setFocusPolicy(Qt::NoFocus);
    length->setFrame(false);
    length->setTextMargins(0, 0, 0, 0);
  }
  for (int index : {0, 1, 3, 7}) {
    QFont small = Text2_[static_cast<std::size_t>(index)]->font();
    small.setPointSize(7);
    Text2_[static_cast<std::size_t>(index)]->setFont(small);
  }
  Save_ = Place(new QPushButton(QStringLiteral("Save"), this), "Save", twips_, 10200, 7680, 1095,
                kButtonHeight);
}

}  // namespace quorvex::ui
