// The main window: its controls, menus, toggles, error box and start-up with the store.

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include "app/listview/subtitlegrid.h"
#include "app/srtform.h"
#include "app/ui/guard.h"
#include "app/ui/scaling.h"
#include "app/widgets.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "tests/support/formfixture.h"
#include "tests/support/testmain.h"

using tirelle::app::Splitter;
using tirelle::app::ToggleButton;
using tirelle::testing::FormFixture;
using tirelle::testing::TempFolder;
using tirelle::ui::scaled;

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void stripControls_data();
    void stripControls();
    void panelsAndFonts();
    void menuTable();
    void toggleGroupRule();
    void errorBoxText_data();
    void errorBoxText();
    void rowsFromEarlierRunAreListedByStart();
    void unopenableStoreShowsErrorAndWindow();
    void missingStoreIsCreated();
    void timerTicksFromStart();
    void nothingIsHandledAfterClosing();
    void splitterRules();
};

void MainWindowTest::stripControls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("design");
    QTest::newRow("Edit1") << "Edit1"
                           << "00:00:00,000" << QRect(8, 4, 145, 28);
    QTest::newRow("SpeedButton4") << "SpeedButton4"
                                  << "-->" << QRect(160, 4, 57, 20);
    QTest::newRow("Edit2") << "Edit2"
                           << "" << QRect(224, 4, 145, 28);
    QTest::newRow("SpButtonE") << "SpButtonE"
                               << ">" << QRect(376, 8, 33, 25);
    QTest::newRow("Edit_TimePos") << "Edit_TimePos"
                                  << "" << QRect(432, 8, 137, 21);
    QTest::newRow("BitBtn3") << "BitBtn3"
                             << "插入字幕" << QRect(440, 40, 105, 33);
    QTest::newRow("TrackBar1") << "TrackBar1"
                               << "" << QRect(40, 48, 321, 25);
    QTest::newRow("Label4") << "Label4"
                            << "3.000" << QRect(168, 32, -1, -1);
    QTest::newRow("Label1") << "Label1"
                            << "10" << QRect(16, 52, -1, -1);
    QTest::newRow("Label2") << "Label2"
                            << "0" << QRect(376, 52, -1, -1);
}

// The next widget in the focus chain that is not part of `widget` itself (a text box's viewport).
static QWidget* nextStop(QWidget* widget) {
    QWidget* next = widget->nextInFocusChain();
    while (widget->isAncestorOf(next) || next->focusPolicy() == Qt::NoFocus)
        next = next->nextInFocusChain();
    return next;
}

static QString textOf(QWidget* widget) {
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    return QString();
}

void MainWindowTest::stripControls() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QRect, design);
    FormFixture fixture;
    auto* widget = fixture.form->findChild<QWidget*>(name);
    QVERIFY2(widget, qPrintable("no control named " + name));
    QCOMPARE(widget->parentWidget(), fixture.form->Panel7);
    QCOMPARE(textOf(widget), text);
    QCOMPARE(widget->pos(), QPoint(scaled(design.x()), scaled(design.y())));
    if (design.width() > 0)
        QCOMPARE(widget->size(), QSize(scaled(design.width()), scaled(design.height())));
}

void MainWindowTest::panelsAndFonts() {
    FormFixture fixture;
    auto& form = *fixture.form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Tirelle 0.91"));
    for (const char* name :
         {"Panel1", "Panel2", "Panel3", "Panel4", "Panel5", "Panel7", "Splitter1", "Splitter2",
          "DBGridEh1", "Label3", "Memo1", "MainMenu1", "PopupMenu1", "Timer2", "WMP1"})
        QVERIFY2(form.findChild<QObject*>(QString::fromLatin1(name)), name);
    QCOMPARE(form.Panel1->width(), scaled(380));
    QCOMPARE(form.Panel3->height(), scaled(271));
    QCOMPARE(form.Panel5->height(), scaled(170));
    QCOMPARE(form.Panel7->height(), scaled(80));
    QCOMPARE(form.Label3->text(), QString());
    QCOMPARE(form.Label3->font().pointSize(), 12);
    QCOMPARE(form.Label3->palette().color(QPalette::Window), QColor(73, 73, 73));
    QCOMPARE(form.Label3->palette().color(QPalette::WindowText), QColor(Qt::white));
    QCOMPARE(form.Memo1->font().pointSize(), 12);
    QCOMPARE(form.Memo1->palette().color(QPalette::Base), QColor(213, 213, 213));
    QCOMPARE(form.Edit1->font().pointSize(), 12);
    QCOMPARE(form.font().pointSize(), 9);
    QCOMPARE(form.font().family(), QStringLiteral("宋体"));
    QCOMPARE(form.TrackBar1->minimum(), 0);
    QCOMPARE(form.TrackBar1->maximum(), 100);
    QCOMPARE(form.TrackBar1->value(), 70);
    QVERIFY(form.Edit_TimePos->isReadOnly());
    QCOMPARE(form.SpButtonE->focusPolicy(), Qt::NoFocus);
    QCOMPARE(form.SpeedButton4->focusPolicy(), Qt::NoFocus);
    // Keyboard order: the text box, then the strip.
    QCOMPARE(nextStop(form.Memo1), static_cast<QWidget*>(form.Edit1));
    QCOMPARE(nextStop(form.Edit1), static_cast<QWidget*>(form.Edit2));
    QCOMPARE(nextStop(form.Edit2), static_cast<QWidget*>(form.BitBtn3));
    QCOMPARE(nextStop(form.BitBtn3), static_cast<QWidget*>(form.TrackBar1));
    QCOMPARE(nextStop(form.TrackBar1), static_cast<QWidget*>(form.Edit_TimePos));
}

void MainWindowTest::menuTable() {
    FormFixture fixture;
    QStringList seen;
    for (QAction* top : fixture.form->MainMenu1->actions()) {
        // The playback menu has its own test (keys_test); the others keep their table.
        if (top->objectName() == QLatin1String("PlayMenu")) continue;
        seen << top->objectName() + " " + top->text();
        for (QAction* item : top->menu()->actions())
            seen << "  " + item->objectName() + " " + (item->isSeparator() ? "-" : item->text());
    }
    const QStringList expected = {
        "N1 文件",         "  N4 打开视频文件", "  N5 -",           "  N6 打开字幕文件",
        "  N8 -",          "  N9 保存字幕文件", "EditMenu 编辑",    "  UndoItem 撤销",
        "  RedoItem 重做", "N2 界面",           "  N3 预览框字体",
        "  N7 输入框字体", "  N22 列表框字体",  "  N23 列表框行高", "N10 工具",
        "  N11 时间平移",  "  N12 时间缩放",    "  N13 -",          "  N14 分割字幕",
        "  N16 合并字幕",  "  N17 -",           "  N18 字幕字体",   "  SyncItem 音频同步",
        "  SpeechSeparator -", "  SnapCurrentItem 对齐语音（当前行）", "  SnapAllItem 对齐语音（全部）",
        "  AlignCutsItem 镜头对齐", "  ChineseItem 简繁转换…", "N19 帮助",
        "  N20 关于",      "  N21 帮助",        "CheckMenu 检查",   "  ChecksItem 检查面板"};
    QCOMPARE(seen, expected);
    const QList<QAction*> popup = fixture.form->PopupMenu1->actions();
    QCOMPARE(popup.size(), 4);  // "删除" first, the row actions beside it
    QCOMPARE(popup.first()->objectName(), QStringLiteral("N15"));
    QCOMPARE(popup.first()->text(), QStringLiteral("删除"));
}

void MainWindowTest::toggleGroupRule() {
    FormFixture fixture;
    auto& form = *fixture.form;
    form.show();
    ToggleButton* capture = form.SpButtonE;
    ToggleButton* range = form.SpeedButton4;

    QTest::mouseClick(capture, Qt::LeftButton);
    QCOMPARE(capture->isDown(), true);
    QCOMPARE(fixture.playerCalls(), QStringList{"play"});  // handler saw the new state

    // Set down by the program: the other goes up and no handler runs.
    range->setDown(true);
    QCOMPARE(capture->isDown(), false);
    QCOMPARE(fixture.playerCalls(), QStringList{"play"});

    // A click on a down toggle releases it: both up.
    range->setDown(false);
    capture->setDown(true);
    QTest::mouseClick(capture, Qt::LeftButton);
    QCOMPARE(capture->isDown(), false);
    QCOMPARE(range->isDown(), false);
    QCOMPARE(fixture.playerCalls(), (QStringList{"play", "pause"}));
}

void MainWindowTest::errorBoxText_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Field 'x' not found"
                            << "Field 'x' not found.";
    QTest::newRow("digit") << "error 12"
                           << "error 12.";
    QTest::newRow("chinese") << "开始结束时间"
                             << "开始结束时间.";
    QTest::newRow("full stop") << "Done."
                               << "Done.";
    QTest::newRow("parenthesis") << "failed (disk)"
                                 << "failed (disk)";
    QTest::newRow("empty") << ""
                           << "";
}

void MainWindowTest::errorBoxText() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(tirelle::ui::errorBoxText(message), shown);
}

void MainWindowTest::rowsFromEarlierRunAreListedByStart() {
    FormFixture fixture([](const TempFolder& folder) {
        tirelle::store::Connection connection;
        connection.open(folder.path());
        tirelle::store::Dataset rows;
        rows.setConnection(&connection);
        rows.setCommandText("select * from Sub order by SubSort");
        rows.open();
        for (const char* start : {"00:00:09,000", "00:00:01,000", "00:00:05,000"}) {
            rows.append();
            rows.fieldByName("STime").setAsString(start);
            rows.fieldByName("ETime").setAsString("00:00:10,000");
            rows.post();
        }
    });
    auto& sub = fixture.form->Sub;
    QVERIFY(fixture.dialogs.errors.isEmpty());
    QCOMPARE(sub.recordCount(), 3);
    QStringList starts;
    for (int row = 0; row < sub.rowCount(); ++row)
        starts << QString::fromStdString(sub.rowAt(row).STime);
    QCOMPARE(starts, (QStringList{"00:00:01,000", "00:00:05,000", "00:00:09,000"}));
    QCOMPARE(sub.currentRow(), 0);
    QCOMPARE(fixture.form->DBGridEh1->dataset(), &sub);
}

void MainWindowTest::unopenableStoreShowsErrorAndWindow() {
    const std::string junk = "this is not a database, and must stay as it is\n";
    FormFixture fixture([&](const TempFolder& folder) { folder.write("DB.mdb", junk); });
    auto& form = *fixture.form;
    QCOMPARE(fixture.dialogs.errors.size(), 1);
    QVERIFY(!form.Sub.active());
    QVERIFY(form.Sub.isEmpty());
    QCOMPARE(TempFolder::read(fixture.folder.file("DB.mdb")), junk);

    // A command that needs the store fails with the closed-dataset error, through the guard.
    form.Edit2->setText("00:00:02,000");
    form.Memo1->setPlainText("text");
    QTest::mouseClick(form.BitBtn3, Qt::LeftButton);
    QCOMPARE(fixture.dialogs.errors.size(), 2);
    QCOMPARE(fixture.dialogs.errors.last(),
             QStringLiteral("Sub: Cannot perform this operation on a closed dataset."));
    QCOMPARE(TempFolder::read(fixture.folder.file("DB.mdb")), junk);
}

void MainWindowTest::missingStoreIsCreated() {
    FormFixture fixture;
    QVERIFY(fixture.dialogs.errors.isEmpty());
    QVERIFY(fixture.form->Sub.active());
    QVERIFY(std::filesystem::exists(fixture.folder.file("DB.mdb")));
}

void MainWindowTest::timerTicksFromStart() {
    FormFixture fixture;
    QCOMPARE(fixture.form->Timer2->interval(), 40);
    QVERIFY(fixture.form->Timer2->enabled());
    fixture.player->setPosition(65.4321);
    QTRY_COMPARE(fixture.form->Edit_TimePos->text(), QStringLiteral("00:01:05,432"));
}

void MainWindowTest::nothingIsHandledAfterClosing() {
    FormFixture fixture;
    auto& form = *fixture.form;
    fixture.addRows({{"00:00:01,000", "00:00:02,000", "a"}, {"00:00:05,000", "00:00:06,000", "b"}});
    form.show();
    fixture.dialogs.fileAnswers = {QStringLiteral("/v.mp4")};
    form.N4Click();  // capture mode, playing
    fixture.player->setPosition(1.5);
    // Reports still on their way when the window closes, and reports after it.
    fixture.player->setDelivery(tirelle::testing::FakePlayer::Delivery::Queued);
    fixture.player->userSeek(5.5);
    form.close();
    fixture.player->reportState(3);
    fixture.player->userSeek(1.5);
    QCoreApplication::processEvents();  // delivers the queued reports
    QCOMPARE(form.Timer2->enabled(), false);
    QCOMPARE(form.Sub.fieldByName("SubText").asString(), std::string("a"));
    QCOMPARE(fixture.dialogs.log, QStringList{"open OpenDialog1"});
}

void MainWindowTest::splitterRules() {
    FormFixture fixture;
    auto& form = *fixture.form;
    form.resize(1000, 700);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Splitter* splitter = form.Splitter1;
    const int total = splitter->parentWidget()->width();
    const int bar = splitter->width();
    const int min = scaled(30);
    // Dragged so the pane would be 100 wide: it is.
    QCOMPARE(splitter->sizeForPosition(total - bar - 100), 100);
    // Dragged to min or less: the pane closes.
    QCOMPARE(splitter->sizeForPosition(total - bar - min), 0);
    // Dragged to the far edge: the other side keeps min.
    QCOMPARE(splitter->sizeForPosition(0), total - bar - min);

    QSignalSpy moved(splitter, &Splitter::moved);
    splitter->moveTo(200);
    QCOMPARE(moved.size(), 1);
    QCOMPARE(form.Panel1->width(), 200);
    splitter->moveTo(200);  // same size: no move reported
    QCOMPARE(moved.size(), 1);
    // The player fills the video pane after the move.
    QCOMPARE(form.WMP1->widget()->geometry(), form.Panel4->rect());
}

TIRELLE_TEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
