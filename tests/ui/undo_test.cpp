// The edit menu: undo and redo of the open, the insert, a delete and a list edit through the
// main window, the cursor afterwards, the history after a restart, the refusal after an outside
// change, and Ctrl+Z inside the list's editor.

#include <sqlite3.h>

#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QtTest>

#include "app/listview/celleditor.h"
#include "app/listview/subtitlegrid.h"
#include "app/srtform.h"
#include "app/toolform.h"
#include "tests/support/formfixture.h"
#include "tests/support/testmain.h"

using tirelle::testing::FormFixture;

namespace {

QStringList texts(tirelle::store::Dataset& sub) {
    QStringList all;
    for (int row = 0; row < sub.rowCount(); ++row)
        all << QString::fromStdString(sub.rowAt(row).SubText);
    return all;
}

QString currentText(tirelle::store::Dataset& sub) {
    return QString::fromStdString(sub.rowAt(sub.currentRow()).SubText);
}

}  // namespace

class UndoTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        fixture = std::make_unique<FormFixture>();
        fixture->form->resize(1000, 700);
        fixture->form->show();
        QVERIFY(QTest::qWaitForWindowActive(fixture->form.get()));
        fixture->addRows({{"00:00:01,000", "00:00:02,000", "a"},
                          {"00:00:03,000", "00:00:04,000", "b"},
                          {"00:00:05,000", "00:00:06,000", "c"}});
    }
    void cleanup() { fixture.reset(); }

    void menuSitsAfterFileAndNamesTheSteps();
    void eachCommandIsUndoneAndRedone_data();
    void eachCommandIsUndoneAndRedone();
    void historySurvivesARestart();
    void refusedUndoSaysSoAndChangesNothing();
    void damagedStepIsRefusedAndLeavesTheMenu();
    void ctrlZInTheEditorBelongsToTheEditor();

private:
    QAction* item(const char* name) { return fixture->form->menuItem(QString::fromLatin1(name)); }
    std::unique_ptr<FormFixture> fixture;
};

void UndoTest::menuSitsAfterFileAndNamesTheSteps() {
    QStringList menus;
    for (QAction* menu : fixture->form->MainMenu1->actions()) menus << menu->text();
    QCOMPARE(menus.mid(0, 4), (QStringList{"文件", "编辑", "播放", "界面"}));
    QCOMPARE(item("UndoItem")->text(), QString("撤销 新增字幕"));
    QVERIFY(item("UndoItem")->isEnabled());
    QCOMPARE(item("RedoItem")->text(), QString("重做"));
    QVERIFY(!item("RedoItem")->isEnabled());
    item("UndoItem")->trigger();
    QCOMPARE(item("RedoItem")->text(), QString("重做 新增字幕"));
    QVERIFY(item("RedoItem")->isEnabled());
}

void UndoTest::eachCommandIsUndoneAndRedone_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QStringList>("done");
    QTest::addColumn<QString>("currentAfterUndo");
    QTest::addColumn<QString>("firstStart");
    const QString one = "00:00:01,000";
    QTest::newRow("open") << 0 << "打开字幕文件" << QStringList{"x", "y"} << "a" << one;
    QTest::newRow("insert") << 1 << "插入字幕" << QStringList{"a", "new", "b", "c"} << "b" << one;
    QTest::newRow("delete") << 2 << "删除字幕" << QStringList{"a", "c"} << "b" << one;
    QTest::newRow("list edit") << 3 << "修改字幕" << QStringList{"a", "b", "edited"} << "c" << one;
    // A whole-table step keeps the cursor on the row it was on: the tools leave the last row
    // current, the merge's re-query the first.
    QTest::newRow("shift") << 4 << "时间平移" << QStringList{"a", "b", "c"} << "c"
                           << "00:00:02,500";
    QTest::newRow("wrap") << 5 << "批量设置字体" << QStringList{"[a]", "[b]", "[c]"} << "c"
                          << one;
    QTest::newRow("merge") << 6 << "合并字幕" << QStringList{"a", "x", "b", "c"} << "a" << one;
}

void UndoTest::eachCommandIsUndoneAndRedone() {
    QFETCH(int, command);
    QFETCH(QString, label);
    QFETCH(QStringList, done);
    QFETCH(QString, currentAfterUndo);
    QFETCH(QString, firstStart);
    auto& form = *fixture->form;
    auto& tools = *form.toolForm();
    form.Sub.locate("STime", std::string("00:00:03,000"));
    switch (command) {
        case 0:
            fixture->dialogs.questionAnswers = {false};
            fixture->dialogs.fileAnswers = {QString::fromStdString(
                fixture->folder.write("in.srt", "1\n00:00:01,000 --> 00:00:02,000\nx\n\n"
                                                "2\n00:00:03,000 --> 00:00:04,000\ny\n")
                    .string())};
            form.N6Click();
            break;
        case 1:
            form.Edit1->setText("00:00:02,000");
            form.Edit2->setText("00:00:02,500");
            form.Memo1->setPlainText("new");
            form.BitBtn3Click();
            break;
        case 2:
            fixture->dialogs.questionAnswers = {true};
            form.N15Click();
            break;
        case 3:
            form.Sub.last();
            form.Sub.edit();
            form.Sub.fieldByName("SubText").setAsString("edited");  // posted by the undo itself
            break;
        case 4:
            tools.Edit1->setText("1.5");
            tools.BitBtn1Click();
            break;
        case 5:
            tools.Edit7->setText("[");
            tools.Edit8->setText("]");
            tools.BitBtn6Click();
            break;
        case 6:
            tools.Edit6->setText(QString::fromStdString(
                fixture->folder.write("more.srt", "1\n00:00:01,500 --> 00:00:02,000\nx\n").string()));
            tools.Edit5->setText("00:00:00,000");
            tools.BitBtn4Click();
            break;
    }
    const QStringList before{"a", "b", "c"};
    const auto start = [&form] {
        form.Sub.first();
        return QString::fromStdString(form.Sub.fieldByName("STime").asString());
    };
    if (command != 3) QCOMPARE(texts(form.Sub), done);
    form.UndoItemClick();
    QCOMPARE(texts(form.Sub), before);
    QCOMPARE(currentText(form.Sub), currentAfterUndo);
    QCOMPARE(item("RedoItem")->text(), "重做 " + label);
    QCOMPARE(start(), "00:00:01,000");
    form.RedoItemClick();
    QCOMPARE(texts(form.Sub), done);
    QCOMPARE(start(), firstStart);
    QVERIFY(fixture->dialogs.errors.isEmpty());
}

void UndoTest::historySurvivesARestart() {
    fixture->dialogs.questionAnswers = {true};
    fixture->form->N15Click();
    fixture->form->UndoItemClick();
    fixture->form.reset();  // as if the program was killed after its last commit

    tirelle::app::TSrtForm::Options options;
    options.folder = fixture->folder.path();
    options.makePlayer = [](QWidget* parent) { return new tirelle::testing::FakePlayer(parent); };
    tirelle::app::TSrtForm again(options);
    QCOMPARE(again.menuItem("RedoItem")->text(), QString("重做 删除字幕"));
    again.RedoItemClick();
    QCOMPARE(texts(again.Sub).size(), 2);
    again.UndoItemClick();
    again.UndoItemClick();
    QCOMPARE(texts(again.Sub).size(), 2);  // the third row's addition undone
}

void UndoTest::refusedUndoSaysSoAndChangesNothing() {
    sqlite3* outside = nullptr;
    QCOMPARE(sqlite3_open((fixture->folder.path() / "DB.mdb").c_str(), &outside), SQLITE_OK);
    QCOMPARE(sqlite3_exec(outside, "delete from Sub where SubText = 'c'", nullptr, nullptr, nullptr),
             SQLITE_OK);
    sqlite3_close(outside);
    fixture->form->UndoItemClick();
    QCOMPARE(fixture->dialogs.notices.size(), 1);
    QVERIFY(fixture->dialogs.notices[0].startsWith("无法撤销“新增字幕”"));
    fixture->form->Sub.requery();
    QCOMPARE(texts(fixture->form->Sub), (QStringList{"a", "b"}));
    QCOMPARE(item("UndoItem")->text(), QString("撤销 新增字幕"));
}

void UndoTest::damagedStepIsRefusedAndLeavesTheMenu() {
    sqlite3* outside = nullptr;
    QCOMPARE(sqlite3_open((fixture->folder.path() / "DB.mdb").c_str(), &outside), SQLITE_OK);
    QCOMPARE(sqlite3_exec(outside, "update SubHistory set changes = x'0102030405060708'",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    sqlite3_close(outside);
    fixture->form->UndoItemClick();
    QCOMPARE(fixture->dialogs.notices,
             QStringList{"无法撤销“新增字幕”：历史记录已损坏，字幕保持不变"});
    fixture->form->Sub.requery();
    QCOMPARE(texts(fixture->form->Sub), (QStringList{"a", "b", "c"}));
    QVERIFY(!item("UndoItem")->isEnabled());
    QCOMPARE(item("UndoItem")->text(), QString("撤销"));
}

void UndoTest::ctrlZInTheEditorBelongsToTheEditor() {
    auto* grid = fixture->form->DBGridEh1;
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_F2);
    QVERIFY(grid->isEditing());
    QTest::keyClicks(grid->editor(), "Z");
    QTest::keyClick(grid->editor(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(grid->editor()->toPlainText(), QString("00:00:01,000"));
    QCOMPARE(texts(fixture->form->Sub).size(), 3);  // the store's history untouched

    QTest::keyClick(grid->editor(), Qt::Key_Escape);
    QVERIFY(!grid->isEditing());
    QTest::keyClick(grid, Qt::Key_Z, Qt::ControlModifier);  // now the window's undo
    QCOMPARE(texts(fixture->form->Sub).size(), 2);
    QTest::keyClick(grid, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(texts(fixture->form->Sub).size(), 3);
}

TIRELLE_TEST_MAIN(UndoTest)
#include "undo_test.moc"
