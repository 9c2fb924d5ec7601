// The model browser's rows: names read from a scene in blocks, kept byte for byte, shown decoded.
#include <QAbstractItemModelTester>
#include <QListWidget>
#include <QScrollBar>
#include <QTest>
#include <string>
#include <vector>

#include "objects/model_listing.h"
#include "ui/model_list_view.h"
#include "ui/widest_row.h"

using quorvex::ModelName;
using quorvex::ui::ModelListView;

class ModelNameListTest : public QObject {
  Q_OBJECT

 private slots:
  void rowsHoldTheListedNamesInOrder() {
    // Byte 22 ends a name, byte 23 belongs to one.
    const char scene[] = "\0guard.i3d\0\"box 1.i3d\x16\x17set.i3d";
    const std::vector<std::uint8_t> bytes(scene, scene + sizeof scene - 1);
    const quorvex::SceneImage image(bytes);
    std::vector<ModelName> names = quorvex::ListSceneModels(image).value();
    QCOMPARE(names.size(), std::size_t{3});
    names.push_back(ModelName{100, 5});  // not inside the scene: an empty row

    ModelListView view;
    QAbstractItemModelTester checks(view.names(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    view.names()->appendName("Processing");
    view.names()->clear();
    // In two blocks, as the window fills the list between events.
    QVERIFY(view.names()->appendNames(image, std::span(names).first(1)).ok());
    QVERIFY(view.names()->appendNames(image, std::span(names).subspan(1)).ok());
    const QStringList expected = {QStringLiteral("guard.i3d"), QStringLiteral("box 1.i3d"),
                                  QStringLiteral("\u0017set.i3d"), QString()};
    QCOMPARE(view.count(), expected.size());
    for (int row = 0; row < view.count(); ++row) {
      QCOMPARE(view.text(row), expected[row]);
      QCOMPARE(view.model()->data(view.model()->index(row, 0)).toString(), expected[row]);
    }
    QCOMPARE(view.names()->nameBytes(2), std::string_view("\x17set.i3d"));

    view.names()->clear();
    QCOMPARE(view.count(), 0);
    view.names()->appendName("");
    QCOMPARE(view.count(), 1);
    QCOMPARE(view.text(0), QString());

    // Names read again from a file that another program made shorter: the failure comes back.
    struct Shortened final : quorvex::ByteSource {
      std::uint64_t size() const override { return 100; }
      quorvex::Status readAt(std::uint64_t, std::span<std::uint8_t>) const override {
        return quorvex::MakeError(quorvex::ErrorKind::ChangedOnDisk, "shorter");
      }
    } shortened;
    QVERIFY(!view.names()->appendNames(quorvex::SceneImage(shortened), std::span(names).first(1)));
  }

  void aLongNameAnywhereCanBeScrolledTo() {
    // All rows take one size; it must be the widest name's, not that of the row measured last.
    ModelListView view;
    view.resize(150, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    for (int i = 0; i < 20; ++i) view.names()->appendName("a.i3d");
    view.names()->appendName(std::string(120, 'W') + ".i3d");
    for (int i = 0; i < 20; ++i) view.names()->appendName("b.i3d");
    QCOMPARE(view.widestRow(), 20);
    QTRY_VERIFY(view.horizontalScrollBar()->maximum() > 0);
    view.scrollTo(view.model()->index(20, 0));
    view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum());
    QVERIFY(view.visualRect(view.model()->index(20, 0)).right() <= view.viewport()->width());
  }

  void theScriptListFollowsItsWidestRow() {
    // The script list's rows come and go one by one, and a row's text can be replaced.
    QListWidget list;
    quorvex::ui::WidestRowTracker widest(&list);
    list.addItems({QStringLiteral("ab"), QStringLiteral("abcdef"), QStringLiteral("abc")});
    QCOMPARE(widest.widestRow(), 1);
    list.insertItem(0, QStringLiteral("a"));  // the widest row moves down with the rest
    QCOMPARE(widest.widestRow(), 2);
    list.item(2)->setCheckState(Qt::Checked);  // a check mark leaves the text as it was
    QCOMPARE(widest.widestRow(), 2);
    list.item(2)->setText(QStringLiteral("x"));  // narrower: another row is the widest now
    QCOMPARE(widest.widestRow(), 3);
    delete list.takeItem(3);
    QCOMPARE(widest.widestRow(), 1);
    list.clear();
    QCOMPARE(widest.widestRow(), -1);
  }
};

QTEST_MAIN(ModelNameListTest)
#include "model_name_list_test.moc"
