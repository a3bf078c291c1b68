// The subtitle list driven by real key and mouse events, over a real working dataset in a
// temporary store.

#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>

#include "app/listview/celleditor.h"
#include "app/listview/subtitlegrid.h"
#include "app/ui/textcodec.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/errors.h"
#include "store/statements.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/tempfolder.h"
#include "tests/support/testmain.h"

using tirelle::CodePage;
using tirelle::listview::CellEditor;
using tirelle::listview::SubtitleGrid;
using tirelle::listview::TextMetrics;
using tirelle::store::Dataset;
using tirelle::store::DatasetState;

Q_DECLARE_METATYPE(DatasetState)

namespace {

std::string timeCode(int seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "00:%02d:%02d,000", seconds / 60, seconds % 60);
    return text;
}

// A store with `rows` subtitles (start i+1 s, text "text i"), the list over it in a window
// with a second control to take the focus away, and scripted dialogs.
struct Fixture {
    tirelle::testing::TempFolder folder;
    tirelle::store::Connection connection;
    Dataset sub;
    tirelle::testing::ScriptedDialogs dialogs;
    QWidget window;
    SubtitleGrid* grid = nullptr;
    QLineEdit* other = nullptr;

    explicit Fixture(int rows, int visibleRows = 5) {
        connection.open(folder.path());
        sub.setConnection(&connection);
        sub.setCommandText(tirelle::store::kSelectAllSql);
        sub.beforePost = tirelle::store::DeriveSortKeys;
        sub.open();
        for (int i = 0; i < rows; ++i)
            add(timeCode(i + 1), timeCode(i + 2), "text " + std::to_string(i));
        sub.requery();

        auto* layout = new QVBoxLayout(&window);
        grid = new SubtitleGrid(&window);
        // A font of 15-pixel text height without leading: rows of 47 pixels, titles of 17.
        grid->setMetricsSource([](const QFont&) { return TextMetrics{15, 15, 0, 0}; });
        other = new QLineEdit(&window);
        layout->addWidget(grid);
        layout->addWidget(other);
        grid->setFixedSize(600, grid->frameWidth() * 2 + 17 + 47 * visibleRows + 20);
        grid->setDataset(&sub);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        grid->setFocus();
        QTRY_VERIFY(grid->hasFocus());
    }

    void add(const std::string& start, const std::string& end, const std::string& text) {
        sub.append();
        sub.fieldByName("STime").setAsString(start);
        sub.fieldByName("ETime").setAsString(end);
        sub.fieldByName("SubText").setAsString(text);
        sub.post();
    }

    QWidget* focus() const { return QApplication::focusWidget(); }
    void key(Qt::Key key, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(focus(), key, mods); }
    // One character at a time to whatever has the focus, as typing does.
    void type(const QString& text) {
        for (QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, focus(), Qt::Key_unknown, QString(ch), {});
    }
    void click(int row, int place, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(grid->viewport(), button, {}, grid->cellRect(row, place).center());
    }
    // Stored bytes, as QByteArray so that failures print them.
    QByteArray stime(int row) const { return QByteArray::fromStdString(sub.rowAt(row).STime); }
    QByteArray text(int row) const { return QByteArray::fromStdString(sub.rowAt(row).SubText); }
};

QByteArray code(int seconds) {
    return QByteArray::fromStdString(timeCode(seconds));
}

}  // namespace

class SubtitleGridTest : public QObject {
    Q_OBJECT
private slots:
    void init() { tirelle::ui::setCodePage(CodePage(CodePage::Kind::Gbk)); }

    void rowHeightRule_data();
    void rowHeightRule();
    void rowHeightSettingsOnTheList();
    void columnsAndTitles();

    void downAndUpWithTheNewRow();
    void insertInTheMiddle();
    void tabWrapsRows();
    void verticalMoves_data();
    void verticalMoves();
    void horizontalMoves_data();
    void horizontalMoves();
    void ctrlDeleteAsks_data();
    void ctrlDeleteAsks();
    void copyFromAbove();
    void keysThatDoNothing_data();
    void keysThatDoNothing();
    void closedStoreIgnoresEverything();

    void typedTimeTextIsStoredAsTyped();
    void chineseTextStoredInTheCodePage();
    void untouchedTextStaysByteExact();
    void lineBreaksInTheEditor_data();
    void lineBreaksInTheEditor();
    void escapeRestoresThenCancels();
    void editorKeys();
    void scrollingAwayWritesTheEditor();
    void focusLossWritesAndDropsUntouchedNewRow();
    void failedPostKeepsTheRowInEdit();
    void movesFromElsewhereCompleteTheEdit();
    void typingAfterAnUndoneChangeIsKept();

    void clickSeeksSecondClickEdits();
    void clicksOutsideDataCells();
    void pressBelowAnUntouchedNewRow();
    void rightClickThenDelete();
    void deleteCommandOnNewRowOnlyDiscardsIt();
    void titleDragsResizeAndMove();
    void wheelMovesOneRowPerNotch();

    void fourthLineIsClipped();
    void highlightOnlyWithFocus();
    void suspendedWalkRepaintsOnce();
    void scrollRangeFollowsRowsAddedOneByOne();
};

// --- layout

void SubtitleGridTest::rowHeightRule_data() {
    QTest::addColumn<int>("th");
    QTest::addColumn<int>("leading");
    QTest::addColumn<int>("rowLines");
    QTest::addColumn<int>("rowHeight");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<int>("linesAfter");
    QTest::addColumn<bool>("wraps");
    QTest::newRow("design values") << 15 << 0 << 3 << 2 << 47 << 3 << true;
    QTest::newRow("one line") << 15 << 0 << 1 << 2 << 17 << 1 << false;
    QTest::newRow("no lines still one") << 15 << 0 << 0 << 2 << 17 << 1 << false;
    QTest::newRow("nothing at all") << 15 << 0 << 0 << 0 << 17 << 1 << false;
    QTest::newRow("leading adds a line") << 13 << 2 << 10 << 2 << 158 << 12 << true;
    QTest::newRow("small rest dropped") << 13 << 2 << 3 << 2 << 41 << 3 << true;
    QTest::newRow("negative as zero") << 15 << 0 << -4 << -9 << 17 << 1 << false;
    QTest::newRow("two lines wrap") << 15 << 0 << 2 << 2 << 32 << 2 << true;
}

void SubtitleGridTest::rowHeightRule() {
    QFETCH(int, th);
    QFETCH(int, leading);
    QFETCH(int, rowLines);
    QFETCH(int, rowHeight);
    QFETCH(int, pixels);
    QFETCH(int, linesAfter);
    QFETCH(bool, wraps);
    const auto layout =
        tirelle::listview::layoutRows(TextMetrics{th, th, leading, 0}, rowLines, rowHeight);
    QCOMPARE(layout.rowPixels, pixels);
    QCOMPARE(layout.rowLines, linesAfter);
    QCOMPARE(layout.rowHeight, 2);
    QCOMPARE(layout.wraps, wraps);
}

void SubtitleGridTest::rowHeightSettingsOnTheList() {
    Fixture f(3);
    QCOMPARE(f.grid->dataRowHeight(), 47);
    QCOMPARE(f.grid->titleRowHeight(), 17);
    QCOMPARE(f.grid->rowLines(), 3);
    QCOMPARE(f.grid->rowHeight(), 2);
    QVERIFY(f.grid->wrapsText());
    QVERIFY(f.grid->editor()->multiLine());

    f.grid->setRowLines(1);
    QCOMPARE(f.grid->dataRowHeight(), 17);
    QVERIFY(!f.grid->wrapsText());
    QVERIFY(!f.grid->editor()->multiLine());
    f.grid->setRowLines(0);
    QCOMPARE(f.grid->dataRowHeight(), 17);
    QCOMPARE(f.grid->rowLines(), 1);
    // The rows follow the settings at once: row 1 starts below one 17-pixel row.
    QCOMPARE(f.grid->cellRect(1, 0).top(), 17 + 17);

    // A font with leading: RowHeight was set back to 2, so 10 lines give 2 + 15 * 10 = 152,
    // which fits to 12 lines of 13.
    f.grid->setMetricsSource([](const QFont&) { return TextMetrics{13, 13, 2, 0}; });
    f.grid->setRowLines(10);
    QCOMPARE(f.grid->dataRowHeight(), 158);
    QCOMPARE(f.grid->rowLines(), 12);
    QCOMPARE(f.grid->titleRowHeight(), 15);
}

void SubtitleGridTest::columnsAndTitles() {
    Fixture f(1);
    const QStringList titles{"开始", "结束", "文本"};
    const double factor = f.grid->logicalDpiY() / 120.0;
    for (int place = 0; place < SubtitleGrid::kColumnCount; ++place)
        QCOMPARE(f.grid->columnTitle(place), titles[place]);
    // Scaled by running total; the two time columns grow where a whole time code in the list's
    // font would not fit, and the text column keeps its share.
    const int code =
        QFontMetrics(f.grid->listFont()).horizontalAdvance(QStringLiteral("00:00:00,000")) + 5;
    QCOMPARE(f.grid->columnWidth(0), std::max(code + 1, int(std::lround(102 * factor))));
    QCOMPARE(f.grid->columnWidth(1),
             std::max(code + 1, int(std::lround(196 * factor)) - int(std::lround(102 * factor))));
    QCOMPARE(f.grid->columnWidth(2), int(std::lround(323 * factor)) - int(std::lround(196 * factor)));
    QCOMPARE(f.grid->cellRect(0, -1).width(), 11);
    QCOMPARE(f.grid->cellRect(0, 0).left(), 11);
    QCOMPARE(f.grid->fullyVisibleColumnCount(), 3);
}

// --- keyboard

void SubtitleGridTest::downAndUpWithTheNewRow() {
    Fixture f(3);
    f.key(Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(f.sub.currentRow(), 2);

    f.key(Qt::Key_Down);  // past the last row: a new row at the end
    QCOMPARE(f.sub.state(), DatasetState::Insert);
    QCOMPARE(f.sub.rowCount(), 4);
    QCOMPARE(f.sub.currentRow(), 3);
    f.key(Qt::Key_Down);  // an untouched new row at the end: nothing
    QCOMPARE(f.sub.rowCount(), 4);
    QCOMPARE(f.sub.currentRow(), 3);
    f.key(Qt::Key_Up);  // removes it again
    QCOMPARE(f.sub.state(), DatasetState::Browse);
    QCOMPARE(f.sub.rowCount(), 3);
    QCOMPARE(f.sub.currentRow(), 2);

    f.key(Qt::Key_Down);
    QCOMPARE(f.sub.rowCount(), 4);
    f.key(Qt::Key_Escape);  // Escape removes it too
    QCOMPARE(f.sub.rowCount(), 3);
    QCOMPARE(f.sub.currentRow(), 2);
    QCOMPARE(f.sub.recordCount(), 3);
}

void SubtitleGridTest::insertInTheMiddle() {
    Fixture f(4);
    f.key(Qt::Key_Down);
    f.key(Qt::Key_Down);
    QCOMPARE(f.sub.currentRow(), 2);
    f.key(Qt::Key_Insert);
    QCOMPARE(f.sub.state(), DatasetState::Insert);
    QCOMPARE(f.sub.insertRow(), 2);
    QCOMPARE(f.stime(3), code(3));  // the rows below moved down
    QCOMPARE(f.sub.rowCount(), 5);

    f.key(Qt::Key_Down);  // untouched: dropped, the row it was inserted before is current
    QCOMPARE(f.sub.state(), DatasetState::Browse);
    QCOMPARE(f.sub.rowCount(), 4);
    QCOMPARE(f.sub.currentRow(), 2);
    QCOMPARE(f.stime(2), code(3));

    // A new row typed into is stored where it stands when the cursor leaves it.
    f.key(Qt::Key_Insert);
    f.type("new");
    f.key(Qt::Key_Down);  // a multi-line editor keeps Down for its caret
    QVERIFY(f.grid->isEditing());
    f.key(Qt::Key_Return);
    f.key(Qt::Key_Down);
    QCOMPARE(f.sub.state(), DatasetState::Browse);
    QCOMPARE(f.sub.recordCount(), 5);
    QCOMPARE(f.stime(2), QByteArray("new"));
    QCOMPARE(f.sub.currentRow(), 3);
}

void SubtitleGridTest::tabWrapsRows() {
    Fixture f(2);
    f.key(Qt::Key_Tab);
    f.key(Qt::Key_Tab);
    QCOMPARE(f.grid->currentColumn(), 2);
    f.key(Qt::Key_Tab);  // past the last column: first column of the next row
    QCOMPARE(f.sub.currentRow(), 1);
    QCOMPARE(f.grid->currentColumn(), 0);
    f.key(Qt::Key_Backtab, Qt::ShiftModifier);  // before the first: last column, row above
    QCOMPARE(f.sub.currentRow(), 0);
    QCOMPARE(f.grid->currentColumn(), 2);
    QVERIFY(f.grid->hasFocus());  // Tab never left the list

    f.key(Qt::Key_Down);
    f.key(Qt::Key_Tab);  // on the last row, last column: Tab appends like Down
    QCOMPARE(f.sub.state(), DatasetState::Insert);
    QCOMPARE(f.sub.currentRow(), 2);
    QCOMPARE(f.grid->currentColumn(), 0);
}

void SubtitleGridTest::verticalMoves_data() {
    QTest::addColumn<int>("startRow");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("mods");
    QTest::addColumn<int>("expected");  // -1: the bottommost visible row, -2: top + page
    QTest::newRow("Page Down") << 0 << int(Qt::Key_PageDown) << 0 << -2;
    QTest::newRow("Page Up at the top") << 2 << int(Qt::Key_PageUp) << 0 << 0;
    QTest::newRow("Ctrl+Down") << 1 << int(Qt::Key_Down) << int(Qt::ControlModifier) << -1;
    QTest::newRow("Ctrl+Page Down") << 1 << int(Qt::Key_PageDown) << int(Qt::ControlModifier) << -1;
    QTest::newRow("Ctrl+Up") << 3 << int(Qt::Key_Up) << int(Qt::ControlModifier) << 0;
    QTest::newRow("Ctrl+Page Up") << 3 << int(Qt::Key_PageUp) << int(Qt::ControlModifier) << 0;
    QTest::newRow("Ctrl+End") << 0 << int(Qt::Key_End) << int(Qt::ControlModifier) << 39;
    QTest::newRow("Ctrl+Home") << 30 << int(Qt::Key_Home) << int(Qt::ControlModifier) << 0;
    QTest::newRow("Up on the first row") << 0 << int(Qt::Key_Up) << 0 << 0;
}

void SubtitleGridTest::verticalMoves() {
    QFETCH(int, startRow);
    QFETCH(int, key);
    QFETCH(int, mods);
    QFETCH(int, expected);
    Fixture f(40);
    f.sub.moveBy(startRow);
    const int visible = f.grid->visibleRowCount();
    QCOMPARE(visible, 5);
    if (expected == -1) expected = f.grid->topRow() + visible - 1;
    if (expected == -2) expected = startRow + visible;
    f.key(Qt::Key(key), Qt::KeyboardModifiers(mods));
    QCOMPARE(f.sub.currentRow(), expected);
    // The current row is always in view.
    QVERIFY(f.sub.currentRow() >= f.grid->topRow());
    QVERIFY(f.sub.currentRow() < f.grid->topRow() + visible);
}

void SubtitleGridTest::horizontalMoves_data() {
    QTest::addColumn<int>("startColumn");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("mods");
    QTest::addColumn<int>("expected");
    QTest::newRow("Right") << 0 << int(Qt::Key_Right) << 0 << 1;
    QTest::newRow("Right at the last") << 2 << int(Qt::Key_Right) << 0 << 2;
    QTest::newRow("Left") << 2 << int(Qt::Key_Left) << 0 << 1;
    QTest::newRow("Left at the first") << 0 << int(Qt::Key_Left) << 0 << 0;
    QTest::newRow("End") << 0 << int(Qt::Key_End) << 0 << 2;
    QTest::newRow("Home") << 2 << int(Qt::Key_Home) << 0 << 0;
    QTest::newRow("Ctrl+Right") << 0 << int(Qt::Key_Right) << int(Qt::ControlModifier) << 2;
    QTest::newRow("Ctrl+Left") << 2 << int(Qt::Key_Left) << int(Qt::ControlModifier) << 0;
}

void SubtitleGridTest::horizontalMoves() {
    QFETCH(int, startColumn);
    QFETCH(int, key);
    QFETCH(int, mods);
    QFETCH(int, expected);
    Fixture f(3);
    f.sub.moveBy(1);
    f.grid->setCurrentColumn(startColumn);
    f.key(Qt::Key(key), Qt::KeyboardModifiers(mods));
    QCOMPARE(f.grid->currentColumn(), expected);
    QCOMPARE(f.sub.currentRow(), 1);
}

void SubtitleGridTest::ctrlDeleteAsks_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("asked");
    QTest::addColumn<int>("rowsAfter");
    QTest::addColumn<QString>("currentAfter");
    QTest::newRow("Cancel keeps") << 3 << false << 1 << 3 << QString::fromStdString(timeCode(2));
    QTest::newRow("OK deletes") << 3 << true << 1 << 2 << QString::fromStdString(timeCode(3));
    QTest::newRow("empty asks nothing") << 0 << true << 0 << 0 << QString();
}

void SubtitleGridTest::ctrlDeleteAsks() {
    QFETCH(int, rows);
    QFETCH(bool, answer);
    QFETCH(int, asked);
    QFETCH(int, rowsAfter);
    QFETCH(QString, currentAfter);
    Fixture f(rows);
    if (rows > 0) f.key(Qt::Key_Down);
    f.dialogs.confirmAnswers.push_back(answer);
    f.key(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(f.dialogs.log.size(), asked);
    if (asked) QCOMPARE(f.dialogs.log.first(), QString("confirm: Confirm: Delete record?"));
    QCOMPARE(f.sub.recordCount(), rowsAfter);
    if (rowsAfter > 0) QCOMPARE(QString::fromLatin1(f.stime(f.sub.currentRow())), currentAfter);
}

void SubtitleGridTest::copyFromAbove() {
    Fixture f(30);
    f.sub.moveBy(12);
    f.grid->setCurrentColumn(2);
    f.grid->verticalScrollBar()->setValue(12);  // row 12 topmost, rows above out of view
    QCOMPARE(f.grid->topRow(), 12);
    f.key(Qt::Key_Apostrophe, Qt::ControlModifier);
    QCOMPARE(f.sub.state(), DatasetState::Browse);
    QCOMPARE(f.text(12), QByteArray("text 12"));
    QVERIFY(!f.grid->isEditing());

    f.key(Qt::Key_Down);
    f.key(Qt::Key_Apostrophe, Qt::ControlModifier);
    QCOMPARE(f.sub.state(), DatasetState::Edit);
    QCOMPARE(f.text(13), QByteArray("text 12"));
    QVERIFY(f.grid->isEditing());
    QCOMPARE(f.grid->editor()->textCursor().selectedText(), QString("text 12"));
    f.key(Qt::Key_Down);  // posted on leaving the row
    f.sub.requery();
    QCOMPARE(f.text(13), QByteArray("text 12"));
}

void SubtitleGridTest::keysThatDoNothing_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("mods");
    QTest::newRow("Delete") << int(Qt::Key_Delete) << 0;
    QTest::newRow("Ctrl+C") << int(Qt::Key_C) << int(Qt::ControlModifier);
    QTest::newRow("Ctrl+V") << int(Qt::Key_V) << int(Qt::ControlModifier);
    QTest::newRow("Ctrl+X") << int(Qt::Key_X) << int(Qt::ControlModifier);
    QTest::newRow("Ctrl+A") << int(Qt::Key_A) << int(Qt::ControlModifier);
    QTest::newRow("Shift+Insert") << int(Qt::Key_Insert) << int(Qt::ShiftModifier);
}

void SubtitleGridTest::keysThatDoNothing() {
    QFETCH(int, key);
    QFETCH(int, mods);
    Fixture f(3);
    f.key(Qt::Key_Down);
    f.key(Qt::Key(key), Qt::KeyboardModifiers(mods));
    QCOMPARE(f.sub.recordCount(), 3);
    QCOMPARE(f.sub.rowCount(), 3);
    QCOMPARE(f.sub.currentRow(), 1);
    QCOMPARE(f.sub.state(), DatasetState::Browse);
    QVERIFY(!f.grid->isEditing());
    QCOMPARE(f.dialogs.log, QStringList());
}

void SubtitleGridTest::closedStoreIgnoresEverything() {
    Fixture f(3);
    QSignalSpy clicks(f.grid, &SubtitleGrid::cellClick);
    QSignalSpy finds(f.grid, &SubtitleGrid::findRequested);
    f.sub.close();
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Insert, Qt::Key_Return, Qt::Key_F2, Qt::Key_Escape})
        f.key(key);
    f.key(Qt::Key_Delete, Qt::ControlModifier);
    f.key(Qt::Key_F, Qt::ControlModifier);
    f.type("x");
    QTest::mouseClick(f.grid->viewport(), Qt::LeftButton, {}, QPoint(60, 17 + 10));
    QCOMPARE(f.sub.active(), false);
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(finds.count(), 0);
    QVERIFY(!f.grid->isEditing());
    QCOMPARE(f.dialogs.log, QStringList());
}

// --- editing

void SubtitleGridTest::typedTimeTextIsStoredAsTyped() {
    Fixture f(4);
    f.grid->setRowLines(1);  // a one-line editor: Down leaves the cell
    f.key(Qt::Key_Down);
    f.key(Qt::Key_Down);
    f.type("abc");  // replaces the start text
    QVERIFY(f.grid->isEditing());
    QCOMPARE(f.sub.state(), DatasetState::Edit);  // the first change starts the edit
    f.key(Qt::Key_Down);
    QCOMPARE(f.sub.state(), DatasetState::Browse);
    QCOMPARE(f.sub.currentRow(), 3);
    // Stored as typed, 0 seconds, and still in its place until a requery.
    QCOMPARE(f.stime(2), QByteArray("abc"));
    QCOMPARE(f.sub.rowAt(2).SubSort, 0.0);
    f.sub.requery();
    QCOMPARE(f.stime(0), QByteArray("abc"));
}

void SubtitleGridTest::chineseTextStoredInTheCodePage() {
    Fixture f(2);
    f.grid->setCurrentColumn(2);
    f.type(QString::fromUtf8("中文字幕"));
    f.key(Qt::Key_Return);
    QVERIFY(!f.grid->isEditing());
    const QByteArray gbk("\xD6\xD0\xCE\xC4\xD7\xD6\xC4\xBB");
    QCOMPARE(f.text(0), gbk);
    f.key(Qt::Key_Down);
    f.sub.requery();
    QCOMPARE(f.text(0), gbk);
    // Shown again through the code page when the editor opens.
    f.key(Qt::Key_F2);
    QCOMPARE(f.grid->editor()->text(), QString::fromUtf8("中文字幕"));
}

void SubtitleGridTest::untouchedTextStaysByteExact() {
    Fixture f(0);
    // A lone CR and bytes that are no GBK character do not survive a round trip through text.
    const std::string odd = "a\rb\xFF\x80 c";
    f.add(timeCode(1), timeCode(2), odd);
    f.sub.requery();
    f.grid->setCurrentColumn(2);
    f.key(Qt::Key_Return);  // open and close without a change
    QVERIFY(f.grid->isEditing());
    f.key(Qt::Key_Return);
    QCOMPARE(f.sub.state(), DatasetState::Browse);
    f.key(Qt::Key_Home);
    f.type("00:00:09,000");  // another cell of the same row changes
    f.key(Qt::Key_Return);
    f.key(Qt::Key_Down);  // appends; the edited row is posted first
    f.key(Qt::Key_Escape);
    f.sub.requery();
    QCOMPARE(f.sub.recordCount(), 1);
    QCOMPARE(f.stime(0), QByteArray("00:00:09,000"));
    QCOMPARE(f.text(0), QByteArray::fromStdString(odd));
}

void SubtitleGridTest::lineBreaksInTheEditor_data() {
    QTest::addColumn<int>("rowLines");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("rowAfterUp");
    QTest::newRow("three-line row") << 3 << QByteArray("a\r\nb") << 1;
    QTest::newRow("one-line row") << 1 << QByteArray("ab") << 0;
}

void SubtitleGridTest::lineBreaksInTheEditor() {
    QFETCH(int, rowLines);
    QFETCH(QByteArray, stored);
    QFETCH(int, rowAfterUp);
    Fixture f(3);
    f.grid->setRowLines(rowLines);
    f.key(Qt::Key_Down);
    f.grid->setCurrentColumn(2);
    f.type("a");
    f.key(Qt::Key_Return, Qt::ControlModifier);
    f.type("b");
    // Up stays in a multi-line cell; in a one-line cell it leaves, writing the text.
    f.key(Qt::Key_Up);
    QCOMPARE(f.sub.currentRow(), rowAfterUp);
    if (f.grid->isEditing()) f.key(Qt::Key_Return);
    f.sub.requery();
    QCOMPARE(f.text(1), stored);
}

void SubtitleGridTest::escapeRestoresThenCancels() {
    Fixture f(2);
    f.type("zz");
    QCOMPARE(f.sub.state(), DatasetState::Edit);
    f.key(Qt::Key_Escape);  // the typed text goes, the editor closes, the edit stays
    QVERIFY(!f.grid->isEditing());
    QCOMPARE(f.sub.state(), DatasetState::Edit);
    QCOMPARE(f.stime(0), code(1));

    f.key(Qt::Key_Return);
    f.type("yy");
    f.key(Qt::Key_Return);  // written into the field
    QCOMPARE(f.stime(0), QByteArray("yy"));
    f.key(Qt::Key_Escape);  // no editor: the row's change is cancelled
    QCOMPARE(f.sub.state(), DatasetState::Browse);
    QCOMPARE(f.stime(0), code(1));
}

void SubtitleGridTest::editorKeys() {
    Fixture f(20);
    QSignalSpy finds(f.grid, &SubtitleGrid::findRequested);
    f.key(Qt::Key_F, Qt::ControlModifier);  // from the list: an empty search text
    f.grid->setCurrentColumn(2);
    f.key(Qt::Key_Return);  // whole text selected
    CellEditor* editor = f.grid->editor();
    QCOMPARE(editor->textCursor().selectedText(), QString("text 0"));
    f.key(Qt::Key_F, Qt::ControlModifier);  // from the editor: its selection
    QCOMPARE(finds.count(), 2);
    QCOMPARE(finds.at(0).at(0).toString(), QString());
    QCOMPARE(finds.at(1).at(0).toString(), QString("text 0"));

    f.key(Qt::Key_F2);  // selection gone, caret at the end
    QVERIFY(!editor->textCursor().hasSelection());
    QCOMPARE(editor->textCursor().position(), 6);
    for (Qt::Key key : {Qt::Key_Home, Qt::Key_Right, Qt::Key_End, Qt::Key_Left}) f.key(key);
    QVERIFY(f.grid->isEditing());  // the caret moves, the cell stays
    QCOMPARE(editor->textCursor().position(), 5);
    QCOMPARE(f.grid->currentColumn(), 2);
    QCOMPARE(f.sub.currentRow(), 0);

    f.type("!");
    f.key(Qt::Key_PageDown);  // leaves like the list's Page Down, the text written first
    QVERIFY(!f.grid->isEditing());
    QCOMPARE(f.sub.currentRow(), f.grid->visibleRowCount());
    QCOMPARE(f.text(0), QByteArray("text !0"));

    f.key(Qt::Key_F2);
    f.type("?");
    f.key(Qt::Key_Backtab, Qt::ShiftModifier);  // to the previous column, text written
    QCOMPARE(f.grid->currentColumn(), 1);
    QCOMPARE(f.sub.state(), DatasetState::Edit);
    QCOMPARE(f.text(f.sub.currentRow()),
             QByteArray("text ") + QByteArray::number(f.sub.currentRow()) + "?");
}

void SubtitleGridTest::scrollingAwayWritesTheEditor() {
    Fixture f(30);
    f.grid->setCurrentColumn(2);
    f.type("kept");
    f.grid->verticalScrollBar()->setValue(10);
    QVERIFY(!f.grid->isEditing());
    QCOMPARE(f.text(0), QByteArray("kept"));
    QCOMPARE(f.sub.state(), DatasetState::Edit);
}

void SubtitleGridTest::focusLossWritesAndDropsUntouchedNewRow() {
    Fixture f(2);
    f.grid->setCurrentColumn(2);
    f.type("typed");
    f.other->setFocus();
    QTRY_VERIFY(f.other->hasFocus());
    QVERIFY(!f.grid->isEditing());
    QCOMPARE(f.sub.state(), DatasetState::Edit);  // written, not yet posted
    QCOMPARE(f.text(0), QByteArray("typed"));

    f.grid->setFocus();
    QTRY_VERIFY(f.grid->hasFocus());
    f.key(Qt::Key_Insert);  // completes the edit, then a new row
    QCOMPARE(f.sub.recordCount(), 2);
    QCOMPARE(f.sub.rowCount(), 3);
    f.other->setFocus();
    QTRY_VERIFY(f.other->hasFocus());
    QCOMPARE(f.sub.state(), DatasetState::Browse);
    QCOMPARE(f.sub.rowCount(), 2);
    f.sub.requery();
    QCOMPARE(f.text(0), QByteArray("typed"));
}

void SubtitleGridTest::failedPostKeepsTheRowInEdit() {
    Fixture f(3);
    f.sub.beforePost = [](Dataset& d) {
        if (d.fieldByName("STime").asString() == "bad")
            throw tirelle::datasetError("Sub", "disk full");
        tirelle::store::DeriveSortKeys(d);
    };
    f.key(Qt::Key_Down);
    f.type("bad");
    f.key(Qt::Key_Return);
    f.key(Qt::Key_Down);  // the post fails inside the key handler
    QCOMPARE(f.dialogs.errors, QStringList{"Sub: disk full."});
    QCOMPARE(f.sub.currentRow(), 1);
    QCOMPARE(f.sub.state(), DatasetState::Edit);
    QCOMPARE(f.stime(1), QByteArray("bad"));
    // A press on another row fails the same way: no seek, no menu, the cursor stays.
    QSignalSpy clicks(f.grid, &SubtitleGrid::cellClick);
    QMenu menu;
    menu.addAction("x");
    f.grid->setPopupMenu(&menu);
    f.click(2, 0);
    f.click(2, 0, Qt::RightButton);
    QCOMPARE(f.dialogs.errors.size(), 3);
    QCOMPARE(clicks.count(), 0);
    QVERIFY(!menu.isVisible());
    QCOMPARE(f.sub.currentRow(), 1);
    QCOMPARE(f.sub.state(), DatasetState::Edit);
    f.grid->setFocus();
    f.key(Qt::Key_Return);
    // The list still works: the row is fixed and leaves normally.
    f.type("00:00:07,000");
    f.key(Qt::Key_Tab);
    QCOMPARE(f.sub.currentRow(), 1);
    f.key(Qt::Key_Down);
    QCOMPARE(f.sub.currentRow(), 2);
    QCOMPARE(f.sub.state(), DatasetState::Browse);
}

void SubtitleGridTest::movesFromElsewhereCompleteTheEdit() {
    Fixture f(20);
    // An edit written into its field is posted by the preview's locate.
    f.grid->setCurrentColumn(2);
    f.type("edited");
    f.key(Qt::Key_Return);
    QVERIFY(f.sub.locate("STime", std::string(timeCode(15))));
    QCOMPARE(f.sub.state(), DatasetState::Browse);
    QCOMPARE(f.sub.currentRow(), 14);
    QVERIFY(f.grid->topRow() <= 14 && 14 < f.grid->topRow() + f.grid->visibleRowCount());
    f.sub.requery();
    QCOMPARE(f.text(0), QByteArray("edited"));

    // An untouched new row is dropped by it.
    f.key(Qt::Key_Insert);
    QVERIFY(f.sub.locate("STime", std::string(timeCode(3))));
    QCOMPARE(f.sub.rowCount(), 20);
    QCOMPARE(f.sub.currentRow(), 2);

    // An editor open on the row that moves away closes.
    f.key(Qt::Key_F2);
    QVERIFY(f.grid->isEditing());
    QVERIFY(f.sub.locate("STime", std::string(timeCode(9))));
    QVERIFY(!f.grid->isEditing());

    // Text typed but not yet written into its field goes into the row before it is posted.
    const int typedRow = f.sub.currentRow();
    f.grid->setCurrentColumn(2);
    f.type("typed only");
    QVERIFY(f.grid->isEditing());
    QVERIFY(f.sub.locate("STime", std::string(timeCode(15))));
    QCOMPARE(f.sub.state(), DatasetState::Browse);
    QCOMPARE(QByteArray::fromStdString(f.sub.rowAt(typedRow).SubText), QByteArray("typed only"));
}

void SubtitleGridTest::typingAfterAnUndoneChangeIsKept() {
    Fixture f(5);
    f.grid->setCurrentColumn(2);
    f.key(Qt::Key_F2);
    f.type("x");
    f.key(Qt::Key_Backspace);  // the text is back to the stored one
    QCOMPARE(f.sub.state(), DatasetState::Edit);
    // The preview locates the current row: the untouched edit is dropped, the editor stays.
    QVERIFY(f.sub.locate("STime", timeCode(1)));
    QCOMPARE(f.sub.state(), DatasetState::Browse);
    QVERIFY(f.grid->isEditing());

    f.type("y");  // a new change puts the row into edit state again
    QCOMPARE(f.sub.state(), DatasetState::Edit);
    QVERIFY(f.sub.locate("STime", timeCode(3)));  // and the next move stores it
    QCOMPARE(f.sub.state(), DatasetState::Browse);
    QCOMPARE(f.text(0), QByteArray("text 0y"));
}

// --- mouse

void SubtitleGridTest::clickSeeksSecondClickEdits() {
    Fixture f(4);
    QSignalSpy clicks(f.grid, &SubtitleGrid::cellClick);
    f.click(2, 1);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks.at(0).at(0).toInt(), 1);
    QCOMPARE(f.sub.currentRow(), 2);
    QCOMPARE(f.grid->currentColumn(), 1);
    QVERIFY(!f.grid->isEditing());

    f.click(2, 1);  // the current cell: the editor opens, no click reported
    QCOMPARE(clicks.count(), 1);
    QVERIFY(f.grid->isEditing());
    f.type("x");
    f.click(3, 0);  // writes the editor, posts the row left, moves
    QCOMPARE(clicks.count(), 2);
    QCOMPARE(f.sub.currentRow(), 3);
    QCOMPARE(QByteArray::fromStdString(f.sub.rowAt(2).ETime), code(4) + "x");
}

void SubtitleGridTest::clicksOutsideDataCells() {
    Fixture f(2);
    QSignalSpy clicks(f.grid, &SubtitleGrid::cellClick);
    f.click(1, -1);  // the indicator column
    QTest::mouseClick(f.grid->viewport(), Qt::LeftButton, {}, f.grid->titleRect(1).center());
    QTest::mouseClick(f.grid->viewport(), Qt::LeftButton, {}, f.grid->titleRect(-1).center());
    f.click(3, 1);  // below the last row
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(f.sub.currentRow(), 0);
    QCOMPARE(f.grid->currentColumn(), 0);
}

void SubtitleGridTest::pressBelowAnUntouchedNewRow() {
    Fixture f(5);
    f.key(Qt::Key_Down);
    f.key(Qt::Key_Insert);  // a new row at 1; the rows from 1 on move down
    QCOMPARE(f.stime(3), code(3));
    f.click(3, 0);  // the row shown there becomes current, though the new row goes away
    QCOMPARE(f.sub.rowCount(), 5);
    QCOMPARE(f.stime(f.sub.currentRow()), code(3));
}

void SubtitleGridTest::rightClickThenDelete() {
    Fixture f(4);
    QMenu menu;
    QAction* remove = menu.addAction(QString::fromUtf8("删除"));
    // What the main window's delete command does after its question.
    QObject::connect(remove, &QAction::triggered, f.grid, [&] {
        if (f.dialogs.question(f.grid, "确定?")) f.grid->deleteCurrentRow();
    });
    f.grid->setPopupMenu(&menu);
    f.click(2, 2, Qt::RightButton);
    QCOMPARE(f.sub.currentRow(), 2);  // the row is current before the menu shows
    QTRY_VERIFY(menu.isVisible());
    f.dialogs.questionAnswers.push_back(true);
    remove->trigger();
    menu.close();
    QCOMPARE(f.sub.recordCount(), 3);
    QCOMPARE(f.stime(0), code(1));
    QCOMPARE(f.stime(1), code(2));
    QCOMPARE(f.stime(2), code(4));  // the row clicked, not the first, went
}

void SubtitleGridTest::deleteCommandOnNewRowOnlyDiscardsIt() {
    Fixture f(3);
    f.key(Qt::Key_Down);
    f.key(Qt::Key_Insert);
    f.type("half typed");
    f.grid->deleteCurrentRow();
    QCOMPARE(f.sub.state(), DatasetState::Browse);
    QCOMPARE(f.sub.recordCount(), 3);
    QCOMPARE(f.sub.rowCount(), 3);
    QVERIFY(!f.grid->isEditing());
}

void SubtitleGridTest::titleDragsResizeAndMove() {
    Fixture f(2);
    QSignalSpy clicks(f.grid, &SubtitleGrid::cellClick);
    QWidget* vp = f.grid->viewport();
    const int width = f.grid->columnWidth(0);
    const QRect title0 = f.grid->titleRect(0);
    const QPoint edge(title0.right() + 1, title0.center().y());
    QTest::mousePress(vp, Qt::LeftButton, {}, edge);
    QTest::mouseMove(vp, edge + QPoint(30, 0));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, edge + QPoint(30, 0));
    QCOMPARE(f.grid->columnWidth(0), width + 30);

    // Dragging the first title onto the third moves it there; the current column follows.
    const QPoint from = f.grid->titleRect(0).center();
    const QPoint to = f.grid->titleRect(2).center();
    QTest::mousePress(vp, Qt::RightButton, {}, from);
    QTest::mouseMove(vp, from + QPoint(20, 0));
    QTest::mouseMove(vp, to);
    QTest::mouseRelease(vp, Qt::RightButton, {}, to);
    QCOMPARE(f.grid->columnField(0), tirelle::store::Column::ETime);
    QCOMPARE(f.grid->columnField(1), tirelle::store::Column::SubText);
    QCOMPARE(f.grid->columnField(2), tirelle::store::Column::STime);
    QCOMPARE(f.grid->currentColumn(), 2);
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(f.sub.currentRow(), 0);
}

void SubtitleGridTest::wheelMovesOneRowPerNotch() {
    Fixture f(10);
    auto turn = [&](int delta) {
        const QPoint at = f.grid->cellRect(0, 1).center();
        QWheelEvent wheel(at, f.grid->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(f.grid->viewport(), &wheel);
    };
    turn(-120);
    QCOMPARE(f.sub.currentRow(), 1);
    turn(-360);
    QCOMPARE(f.sub.currentRow(), 4);
    turn(60);  // half a notch: nothing yet
    QCOMPARE(f.sub.currentRow(), 4);
    turn(60);
    QCOMPARE(f.sub.currentRow(), 3);
}

// --- drawing

namespace {
// Pixels in the rectangle that differ from the colour.
int pixelsOtherThan(const QImage& image, const QRect& rect, QColor colour) {
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (image.pixelColor(x, y) != colour) ++count;
    return count;
}
}  // namespace

void SubtitleGridTest::fourthLineIsClipped() {
    Fixture f(0);
    // The real font's metrics, so the lines drawn are as high as the rows count them.
    f.grid->setMetricsSource(nullptr);
    f.add(timeCode(1), timeCode(2), "A\r\nB\r\nC\r\nD");
    f.add(timeCode(3), timeCode(4), "");
    f.sub.requery();
    f.other->setFocus();
    QTRY_VERIFY(f.other->hasFocus());
    QCOMPARE(f.grid->rowLines(), 3);
    const QImage image = f.grid->viewport()->grab().toImage();
    const QColor base = f.grid->palette().color(QPalette::Base);
    const QRect first = f.grid->cellRect(0, 2).adjusted(0, 0, -2, -2);
    const QRect second = f.grid->cellRect(1, 2).adjusted(0, 0, -2, -2);
    QVERIFY(pixelsOtherThan(image, first, base) > 0);   // three lines drawn
    QCOMPARE(pixelsOtherThan(image, second, base), 0);  // the fourth not below the row

    f.grid->setFocus();
    QTRY_VERIFY(f.grid->hasFocus());
    f.grid->setCurrentColumn(2);
    f.key(Qt::Key_F2);
    QCOMPARE(f.grid->editor()->text(), QString("A\nB\nC\nD"));
    QCOMPARE(f.grid->editor()->document()->blockCount(), 4);
}

void SubtitleGridTest::highlightOnlyWithFocus() {
    Fixture f(2);
    f.grid->setCurrentColumn(1);
    const QColor highlight = f.grid->palette().color(QPalette::Highlight);
    // The lower part of a cell holding one short line is the cell's own colour.
    auto colourAt = [&](int row, int place) {
        const QImage image = f.grid->viewport()->grab().toImage();
        const QRect cell = f.grid->cellRect(row, place);
        return image.pixelColor(cell.right() - 6, cell.bottom() - 6);
    };
    QCOMPARE(colourAt(0, 1), highlight);
    QVERIFY(colourAt(0, 0) != highlight);  // only the one cell, not the row
    QVERIFY(colourAt(1, 1) != highlight);
    f.other->setFocus();
    QTRY_VERIFY(f.other->hasFocus());
    QVERIFY(colourAt(0, 1) != highlight);

    // The indicator: a glyph only on the current row, and a different one per state.
    f.grid->setFocus();
    QTRY_VERIFY(f.grid->hasFocus());
    auto indicator = [&](int row) {
        return f.grid->viewport()->grab(f.grid->cellRect(row, -1)).toImage();
    };
    const QImage browse = indicator(0);
    const QImage empty = indicator(1);
    QVERIFY(browse != empty);
    f.type("e");
    f.key(Qt::Key_Escape);
    QCOMPARE(f.sub.state(), DatasetState::Edit);
    const QImage edit = indicator(0);
    f.key(Qt::Key_Escape);
    f.key(Qt::Key_Insert);
    const QImage insert = indicator(0);
    QVERIFY(edit != browse);
    QVERIFY(insert != browse);
    QVERIFY(insert != edit);
    QCOMPARE(indicator(1), empty);
}

void SubtitleGridTest::suspendedWalkRepaintsOnce() {
    Fixture f(200);
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) ++paints;
            return false;
        }
    } counter;
    f.grid->viewport()->installEventFilter(&counter);
    f.grid->viewport()->repaint();
    QCoreApplication::processEvents();
    counter.paints = 0;

    f.sub.disableControls();
    f.sub.first();
    while (!f.sub.eof()) {
        f.sub.edit();
        f.sub.fieldByName("SubText").setAsString("<i>" + f.sub.fieldByName("SubText").asString());
        f.sub.post();
        f.sub.next();
    }
    f.sub.enableControls();
    QTRY_COMPARE(counter.paints, 1);
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, 1);
    QCOMPARE(f.sub.currentRow(), 199);
    QCOMPARE(f.grid->topRow(), 199 - f.grid->visibleRowCount() + 1);
}

void SubtitleGridTest::scrollRangeFollowsRowsAddedOneByOne() {
    Fixture f(3);
    QScrollBar* bar = f.grid->verticalScrollBar();
    for (int i = 3; i < 40; ++i) {
        f.add(timeCode(i + 1), timeCode(i + 2), "text " + std::to_string(i));
        QCoreApplication::processEvents();  // the scroll area shows or hides its bars
        QCOMPARE(bar->maximum(), std::max(0, f.sub.rowCount() - f.grid->visibleRowCount()));
        QCOMPARE(bar->isVisible(), bar->maximum() > 0);
    }
    QVERIFY(bar->isVisible());
}

TIRELLE_TEST_MAIN(SubtitleGridTest)
#include "subtitlegrid_test.moc"
