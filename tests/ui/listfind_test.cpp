// The list's find dialog in the main window: FirstTry across Find presses, the history, Ctrl
// reversing the direction, the return on no match, and the all-columns walk.

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "app/listview/listfinddialog.h"
#include "app/listview/subtitlegrid.h"
#include "app/srtform.h"
#include "tests/support/formfixture.h"
#include "tests/support/testmain.h"

using tirelle::listview::ListFindDialog;
using tirelle::testing::FormFixture;

class ListFindTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { fixture.reset(); }

    void allDirectionWalksDownThenStops();
    void historyKeepsOneOfEachText();
    void searches_data();
    void searches();
    void narrowedListScansOnlyTheVisibleColumn();
    void ctrlFOpensTheDialogWithAnEmptyText();

private:
    ListFindDialog& open(const QString& text = {}) {
        ListFindDialog& dialog = ListFindDialog::ensure(fixture->form.get());
        dialog.prepare(*grid(), text);
        return dialog;
    }
    tirelle::listview::SubtitleGrid* grid() { return fixture->form->DBGridEh1; }
    int row() { return fixture->form->Sub.currentRow(); }
    void find(ListFindDialog& dialog, const QString& text, Qt::KeyboardModifiers mods = {}) {
        dialog.cbText->setEditText(text);
        QTest::keyClick(dialog.cbText, Qt::Key_Return, mods);
    }

    std::unique_ptr<FormFixture> fixture;
};

void ListFindTest::init() {
    fixture = std::make_unique<FormFixture>();
    fixture->form->resize(1000, 700);
    fixture->form->show();
    QVERIFY(QTest::qWaitForWindowExposed(fixture->form.get()));
    // "x" in the text of rows 2 and 6; "Mid" in row 4's text; the times count up.
    std::vector<std::array<std::string, 3>> rows;
    for (int i = 0; i < 9; ++i) {
        const std::string t = "00:00:0" + std::to_string(i) + ",000";
        rows.push_back({t, t, i == 2 || i == 6 ? "a x b" : i == 4 ? "Mid" : "line"});
    }
    fixture->addRows(rows);
}

void ListFindTest::allDirectionWalksDownThenStops() {
    ListFindDialog& dialog = open();
    dialog.cbFindIn->setCurrentText(QStringLiteral("文本"));
    QCOMPARE(dialog.cbFindDirection->currentText(), QStringLiteral("全部"));
    find(dialog, QStringLiteral("x"));
    QCOMPARE(row(), 2);
    QVERIFY(!dialog.FirstTry);
    dialog.bFind->click();
    QCOMPARE(row(), 6);
    dialog.bFind->click();
    QCOMPARE(row(), 6);  // the end reached: nothing more, the list stays
    QCOMPARE(grid()->columnField(grid()->currentColumn()), tirelle::store::Column::SubText);
    // A change of the column choice starts at the top again.
    dialog.cbFindIn->setCurrentText(QStringLiteral("<全部>"));
    QVERIFY(dialog.FirstTry);
    dialog.bFind->click();
    QCOMPARE(row(), 2);
}

void ListFindTest::historyKeepsOneOfEachText() {
    ListFindDialog& dialog = open();
    for (const char* text : {"Abc", "abc", "x", "ABC"}) find(dialog, QString::fromLatin1(text));
    grid()->setCurrentColumn(1);
    ListFindDialog& again = open();
    QCOMPARE(&again, &dialog);
    QCOMPARE(again.cbText->currentText(), QString());
    QCOMPARE(again.cbText->count(), 2);
    QCOMPARE(again.cbText->itemText(0), QStringLiteral("Abc"));
    QCOMPARE(again.cbText->itemText(1), QStringLiteral("x"));
    QCOMPARE(again.cbFindIn->currentText(), QStringLiteral("结束"));
    QCOMPARE(again.cbFindIn->count(), 4);
}

void ListFindTest::searches_data() {
    QTest::addColumn<int>("startRow");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("direction");
    QTest::addColumn<QString>("match");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("ctrl");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("foundRow");  // the row current afterwards
    QTest::addColumn<QString>("foundColumn");
    auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
    row("down from the last row") << 8 << "文本"
                                  << "向下"
                                  << "任意匹配" << false << false << "line" << 8 << "开始";
    row("down") << 3 << "文本"
                << "向下"
                << "任意匹配" << false << false << "x" << 6 << "文本";
    row("ctrl reverses down") << 5 << "文本"
                              << "向下"
                              << "任意匹配" << false << true << "x" << 2 << "文本";
    row("ctrl makes all search up") << 5 << "文本"
                                    << "全部"
                                    << "任意匹配" << false << true << "x" << 2 << "文本";
    row("no match returns") << 5 << "文本"
                            << "全部"
                            << "任意匹配" << false << false << "zzz" << 5 << "开始";
    row("match case") << 0 << "文本"
                      << "全部"
                      << "任意匹配" << true << false << "mid" << 0 << "开始";
    row("ignoring case") << 0 << "文本"
                         << "全部"
                         << "任意匹配" << false << false << "mid" << 4 << "文本";
    row("whole cell") << 0 << "文本"
                      << "全部"
                      << "完全匹配" << false << false << "x" << 0 << "开始";
    row("beginning") << 0 << "开始"
                     << "全部"
                     << "起始匹配" << false << false << "00:00:07" << 7 << "开始";
    // All columns from the second column: row 0's first column comes last, not first.
    row("all columns") << 0 << "<全部>"
                       << "全部"
                       << "任意匹配" << false << false << "00:00:00" << 0 << "结束";
    row("all columns to the text") << 0 << "<全部>"
                                   << "向下"
                                   << "任意匹配" << true << false << "Mid" << 4 << "文本";
}

void ListFindTest::searches() {
    QFETCH(int, startRow);
    QFETCH(QString, column);
    QFETCH(QString, direction);
    QFETCH(QString, match);
    QFETCH(bool, matchCase);
    QFETCH(bool, ctrl);
    QFETCH(QString, text);
    QFETCH(int, foundRow);
    QFETCH(QString, foundColumn);
    auto& sub = fixture->form->Sub;
    sub.moveBy(startRow);
    grid()->setCurrentColumn(column == QStringLiteral("<全部>") ? 1 : 0);
    const int top = grid()->topRow();
    ListFindDialog& dialog = open();
    dialog.cbFindIn->setCurrentText(column);
    dialog.cbFindDirection->setCurrentText(direction);
    dialog.cbMatchinType->setCurrentText(match);
    dialog.cbCharCase->setChecked(matchCase);
    find(dialog, text, ctrl ? Qt::ControlModifier : Qt::NoModifier);
    QCOMPARE(row(), foundRow);
    QCOMPARE(grid()->columnTitle(grid()->currentColumn()), foundColumn);
    if (foundRow == startRow) QCOMPARE(grid()->topRow(), top);
    QVERIFY(!sub.controlsDisabled());
}

void ListFindTest::narrowedListScansOnlyTheVisibleColumn() {
    // Only the first column fits: "<全部>" looks at the start times alone.
    fixture->form->Panel1->setFixedWidth(grid()->columnWidth(0) + 40);
    QTRY_COMPARE(grid()->fullyVisibleColumnCount(), 1);
    ListFindDialog& dialog = open();
    dialog.cbFindIn->setCurrentText(QStringLiteral("<全部>"));
    find(dialog, QStringLiteral("x"));
    QCOMPARE(row(), 0);
    find(dialog, QStringLiteral("00:00:03"));
    QCOMPARE(row(), 3);
}

void ListFindTest::ctrlFOpensTheDialogWithAnEmptyText() {
    grid()->setFocus();
    ListFindDialog* shown = nullptr;
    QString text = QStringLiteral("(not read)");
    QTimer::singleShot(0, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        shown = qobject_cast<ListFindDialog*>(modal);
        if (shown) text = shown->cbText->currentText();
        if (modal) QTest::keyClick(modal, Qt::Key_Escape);  // checked once it is closed
    });
    QTest::keyClick(grid(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(shown);
    QCOMPARE(text, QString());
    QVERIFY(!shown->isVisible());
    QCOMPARE(ListFindDialog::instance(), shown);
}

TIRELLE_TEST_MAIN(ListFindTest)
#include "listfind_test.moc"
