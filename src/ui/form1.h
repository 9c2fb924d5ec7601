#pragma once
// The one window of Quorvex. Every control keeps its design name as its object name; the event
// handlers are named after the control and the event, and the private procedures after what they
// do. All file-format work is done by the core library: the window passes it plain data (the
// scene path, positions the catalogue recorded, text bytes) and shows what comes back.

#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "objects/categories.h"
#include "scene/platform.h"
#include "scene/result.h"
#include "scene/scene_image.h"
#include "scene/scene_io.h"
#include "ui/form_state.h"
#include "ui/message_service.h"
#include "ui/stretch_layout.h"
#include "ui/twips.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFileSystemWatcher;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QTimer;

namespace quorvex::ui {

class ByteTextEdit;
class ModelListView;
class OverviewView;
class DialCanvas;
class DialFigure;

inline constexpr const char* kCaption = "Quorvex 3.0      by Tamsel";
// Title of message boxes for which no other title is given.
inline constexpr const char* kAppTitle = "Quorvex";

class Form1 : public QWidget {
  Q_OBJECT

 public:
  // `messages` answers the message boxes; the real dialogs when null.
  explicit Form1(std::unique_ptr<MessageService> messages = nullptr, QWidget* parent = nullptr);
  ~Form1() override;

  // Points the file browser at a scene file and selects it (the command-line argument). Returns
  // false when the file is not in the list (missing, or not named "*.bin").
  bool selectScene(const QString& path);

  FormState& state() { return state_; }
  const FormState& state() const { return state_; }
  void setMessageService(std::unique_ptr<MessageService> messages);
  // The file system that saves, insertions and changes are written through: the real one unless a
  // test gives one that fails on purpose.
  void setFileSystem(platform::FileSystem& files) { files_ = &files; }

  // Event handlers and procedures of the window.
  void Form_load();
  void Check1_Click();
  void Option1_Click();
  void Option2_Click();

  void Command2_Click();  // "Start"
  void Timer1_Timer();
  void ScanScene();
  void ShowScanProgress();
  void Command3_Click();  // "start": the overview
  void BuildScriptOverview();
  // Reads the parameters of the loaded scene's objects named like its rows. `openImage` is the
  // scene a catalogue scan has open; null when the scan runs on its own and reopens the scene.
  void ScanObjectParameters(const SceneImage* openImage = nullptr);

  void List2_Click();
  void List2_ItemCheck(int row);
  void Text1_Change();
  void Save_Click();

  void Command4_Click();  // "search" in the overview
  void Text3_KeyDown(int keyCode);
  void Text3_change();

  void Command1_Click();  // "search" in models mode
  void ListSceneModels();

  void Drive1_Change();
  void Dir1_Change();
  void File1_PathChange();
  void File1_DblClick();

  // The insert panel (form1_panel.cpp), its categories (form1_categories.cpp), the rotation
  // (form1_rotation.cpp), insertion (form1_insert.cpp) and modification (form1_modify.cpp).
  void Check2_Click();
  void Option3_Click();
  void Option4_Click();
  void Option5_Click();
  void Option6_Click();
  void Option7_Click();
  void Option8_Click();
  void Option9_Click();
  void Option10_Click();
  void Slider1_Click();
  void Command5_Click();
  void ObjectInsert();
  void ObjectModify();
  void DrawRotationDial(double angle);

  // The file browser as the procedures read it.
  QString Dir1Path() const { return dir1Path_; }
  QString File1Path() const { return file1Path_; }
  QString File1FileName() const;
  void setDir1Path(const QString& path);
  void setFile1Path(const QString& path);

  QLineEdit* Text2(int index) const;
  // The client area of the form's design; the window can grow beyond it (form1_resize.cpp).
  QSize designSize() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createControls();
  void createFileBrowser();
  void createMiddleColumn();
  void createRightColumn();
  void createInsertPanel();
  void connectHandlers();
  // Which edges of each control follow the window when it grows.
  void anchorControls();

  // Unsaved work in the script box (form1_guard.cpp).
  enum class Leave { GoOn, Stay, Reloading };
  // Whether the script box holds an edit that is not in the scene.
  bool scriptEdited() const;
  // Save: writes the script box into the scene; true when the script was written (its edit is then
  // no longer unsaved).
  bool saveShownScript();
  // Asks "Save the changes to NAME?" about the row on show when its script was edited: Yes saves
  // (Stay when that fails, Reloading when it changed the length and the scene is read again), No
  // goes on, Cancel stays.
  Leave askBeforeLosingScript();
  // The guard of "Start": true when the handler may go on. ("Insert/Modify" asks itself: its Yes
  // goes on with the insertion after a save that reloads the scene.)
  bool confirmDiscardOrSave();
  // The guard of a click on another row of List2, which has already moved the selection from
  // `previous` to `current`; puts it back on Cancel or a failed save.
  bool leaveRow(int current, int previous);
  // The guard of the file browser moving away from the loaded scene. `restoreBrowser` puts the
  // browser back on the loaded scene, where saving writes; the caller makes its change when this
  // returns true. No discards the edit.
  bool leaveScene(const std::function<void()>& restoreBrowser);
  void restoreFile1Selection(QListWidgetItem* item);
  void restoreDrive1();
  void applyOverviewMode();
  void applyModelsMode();

  // ScenePath := File1's folder + separator + selected name. False when no file is selected.
  bool takeScenePath();
  QString joinFile1(const QString& name) const;
  void fillFile1();
  // Lists Dir1's folder: the folders on the way to it, then its subfolders.
  void fillDir1();

  void setStatus(const QString& text, const QColor& colour);
  // " **** Saved ****" in green: the last write went through.
  void showSaved();
  // After a write that replaced the scene: tells the user when the replacement may not survive a
  // power loss.
  void warnIfNotFlushed(WriteMode written);
  // The "Select File" message and its side effects.
  void reportSelectFile();
  // Shows a core failure with the warning icon: the "file used" message for a locked file, the
  // failure's own words otherwise. Remembers it as the most recent failure.
  void reportFailure(const Error& error);
  // A refusal in the window's own words, with the warning icon.
  void warn(const QString& title, const QString& prompt);
  // True when a write may go to the file selected in File1: it is the loaded scene, by full path
  // and by identity. Otherwise says why nothing is written.
  bool selectedIsLoadedScene();
  // Rows shown first: the overview is built once the rows are on the screen and the window has
  // handled its events.
  void scheduleOverview();
  void setParameterFieldsLocked(bool locked);
  void clearCategoryOptions();
  // The insert panel's helpers.
  void loadObjectParametersOnce();
  void showObjectParameters(int row);
  void chooseCategory(int option);
  // The category of the option button selected, in the order insertion tests them; none when no
  // button is selected.
  std::optional<Category> chosenCategory() const;
  void setBoxLocked(QLineEdit* box, bool locked);
  void redrawDial(double w);
  // The catalogue scan of `image` on a thread of its own, handing out events here until it is
  // done (with Busy set by the caller).
  Result<Catalogue> scanCatalogueAside(const SceneImage& image, SectionFlags flags);
  // The reload a save asked for, run at once from inside another action (the file browser moving
  // on, "Insert/Modify"): that action holds on to widgets and values an event could change, so
  // the reload hands out no events.
  void reloadNow();
  // Keeps the window responsive inside a long loop: handles pending events once 10 ms have passed
  // since it last did, so that with the work between two calls no stretch exceeds 16 ms.
  void yieldToEvents();
  // Closes the window when the user asked for it while a loop was running.
  void closeIfPending();
  // Writes the text and check mark of row `row` of List2: appends when the list holds exactly
  // `row` rows, replaces the row when it holds more.
  void writeList2Row(int row, const QString& text, bool checked);

  FormState state_;
  std::unique_ptr<MessageService> messages_;
  platform::FileSystem* files_ = &platform::RealFileSystem();
  QString lastFailure_;  // title of the scan's messages: the most recent failure
  Twips twips_;
  StretchLayout stretch_;
  QElapsedTimer sinceYield_;
  int yieldDepth_ = 0;       // > 0 while a loop hands events out
  bool eventsHeld_ = false;  // no loop hands events out (reloadNow)
  bool closePending_ = false;
  bool revertingCheck_ = false;
  bool writingList2_ = false;  // the scan is writing rows and their check marks
  int list2Row_ = -1;          // the current row of List2 before a change of it

  QString dir1Path_;
  QString file1Path_;

  // Left column.
  QComboBox* Drive1_ = nullptr;
  QListWidget* Dir1_ = nullptr;
  QListWidget* File1_ = nullptr;
  QFileSystemWatcher* file1Watcher_ = nullptr;
  QLabel* Label3_ = nullptr;
  std::array<QLineEdit*, 9> Text2_{};  // indices 0..4, 6..8; no 5

  // Middle column.
  QCheckBox* Check2_ = nullptr;
  QLabel* Label7_ = nullptr;
  QRadioButton* Option1_ = nullptr;
  QRadioButton* Option2_ = nullptr;
  QCheckBox* Check1_ = nullptr;
  QLabel* Label5_ = nullptr;
  QLabel* Label6_ = nullptr;
  QLabel* Label8_ = nullptr;
  QPushButton* Command2_ = nullptr;
  OverviewView* RichTextBox1_ = nullptr;
  ModelListView* List1_ = nullptr;
  QProgressBar* ProgressBar2_ = nullptr;
  QPushButton* Command3_ = nullptr;
  QPushButton* Command4_ = nullptr;
  QLineEdit* Text3_ = nullptr;
  QPushButton* Command1_ = nullptr;

  // Insert panel.
  QGroupBox* Frame1_ = nullptr;
  QButtonGroup* categoryGroup_ = nullptr;
  std::array<QRadioButton*, 11> Option_{};  // Option3 .. Option10 at their numbers
  std::array<QLineEdit*, 12> Text_{};       // Text4 .. Text11 at their numbers
  QSlider* Slider1_ = nullptr;
  DialCanvas* dial_ = nullptr;
  QProgressBar* ProgressBar3_ = nullptr;
  QPushButton* Command5_ = nullptr;

  // Right column.
  QProgressBar* ProgressBar1_ = nullptr;
  QListWidget* List2_ = nullptr;
  ByteTextEdit* Text1_ = nullptr;
  QPushButton* Save_ = nullptr;

  QTimer* Timer1_ = nullptr;
  QTimer* overviewTimer_ = nullptr;  // builds the overview after a scan has shown its rows
};

}  // namespace quorvex::ui
