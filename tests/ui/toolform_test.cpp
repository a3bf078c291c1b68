// The tools window through the scripted dialogs: the menu opens each page, the scale page
// fills itself, every operation ends with "ok" and closes, nothing-to-do cases show nothing,
// and an error leaves the window open.

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "app/srtform.h"
#include "app/toolform.h"
#include "app/widgets.h"
#include "tests/support/formfixture.h"
#include "tests/support/testmain.h"

using tirelle::app::TToolForm;
using tirelle::testing::FormFixture;
using tirelle::testing::TempFolder;

namespace {

QString path(const std::filesystem::path& file) {
    return QString::fromStdString(file.string());
}

std::vector<std::string> startTexts(tirelle::app::TSrtForm& form) {
    std::vector<std::string> starts;
    for (int row = 0; row < form.Sub.rowCount(); ++row) starts.push_back(form.Sub.rowAt(row).STime);
    return starts;
}

}  // namespace

class ToolFormTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        fixture = std::make_unique<FormFixture>();
        tools = fixture->form->toolForm();
    }
    void cleanup() { fixture.reset(); }

    void layoutAndTexts();
    void menuOpensItsPage_data();
    void menuOpensItsPage();
    void scalePageFillsItselfEachTime();
    void operationsSayOkAndClose_data();
    void operationsSayOkAndClose();
    void nothingToDoShowsNothing_data();
    void nothingToDoShowsNothing();
    void errorLeavesTheWindowOpen();
    void mergeFileChosenOrKept();

private:
    std::unique_ptr<FormFixture> fixture;
    TToolForm* tools = nullptr;
};

void ToolFormTest::layoutAndTexts() {
    QCOMPARE(tools->windowTitle(), QStringLiteral("工具"));
    QCOMPARE(tools->PageControl1->tabText(4), QStringLiteral("批量设置字体"));
    const QStringList lines = tools->Memo2->toPlainText().split('\n');
    QCOMPARE(lines.at(2), QStringLiteral("片头时字幕和视频挺和谐，然后越来越不同步~ "));
    QCOMPARE(lines.at(4), QStringLiteral("那么应该填入第一句00:00:05,400   最后一句01:40:15,500"));
}

void ToolFormTest::menuOpensItsPage_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("page");
    QTest::newRow("shift") << "N11" << 0;
    QTest::newRow("scale") << "N12" << 1;
    QTest::newRow("split") << "N14" << 2;
    QTest::newRow("merge") << "N16" << 3;
    QTest::newRow("wrap") << "N18" << 4;
    QTest::newRow("sync") << "SyncItem" << 5;
}

void ToolFormTest::menuOpensItsPage() {
    QFETCH(QString, item);
    QFETCH(int, page);
    fixture->form->SpButtonE->setDown(true);
    QWidget* modal = nullptr;
    int shownPage = -1;
    QTimer::singleShot(0, [&] {
        modal = QApplication::activeModalWidget();
        shownPage = tools->PageControl1->currentIndex();
        tools->close();
    });
    fixture->form->menuItem(item)->trigger();
    QCOMPARE(modal, static_cast<QWidget*>(tools));
    QCOMPARE(shownPage, page);
    QCOMPARE(fixture->form->SpButtonE->isDown(), false);  // capture ended first
    QVERIFY(!tools->isVisible());
}

void ToolFormTest::scalePageFillsItselfEachTime() {
    fixture->addRows(
        {{"01:40:00,000", "01:40:01,000", "last"}, {"00:00:05,400", "00:00:06,000", "first"}});
    tools->Edit2->setText("typed");
    QString label3, edit2, label4, edit3;
    QTimer::singleShot(0, [&] {
        label3 = tools->Label3->text();
        edit2 = tools->Edit2->text();
        label4 = tools->Label4->text();
        edit3 = tools->Edit3->text();
        tools->Edit3->setText("typed");
        tools->PageControl1->setCurrentIndex(0);
        tools->PageControl1->setCurrentIndex(1);  // back to the page: filled again
        edit3 = tools->Edit3->text();
        tools->close();
    });
    fixture->form->N12Click();
    QCOMPARE(label3, QStringLiteral("第一句时间00:00:05,400"));
    QCOMPARE(edit2, QStringLiteral("00:00:05,400"));
    QCOMPARE(label4, QStringLiteral("最后一句时间01:40:00,000"));
    QCOMPARE(edit3, QStringLiteral("01:40:00,000"));
    QCOMPARE(fixture->form->Sub.currentRow(), 1);  // the last row is current
}

void ToolFormTest::operationsSayOkAndClose_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("starts");
    QTest::addColumn<QString>("firstText");
    QTest::newRow("shift") << 0 << "Edit1"
                           << "-5.5" << QStringList{"00:00:00,000", "00:00:04,500"} << "a";
    QTest::newRow("scale") << 1 << "Edit3"
                           << "00:00:30,000" << QStringList{"00:00:03,000", "00:00:30,000"} << "a";
    QTest::newRow("wrap") << 4 << "Edit7"
                          << "<i>" << QStringList{"00:00:03,000", "00:00:10,000"} << "<i>a";
}

void ToolFormTest::operationsSayOkAndClose() {
    QFETCH(int, page);
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QStringList, starts);
    QFETCH(QString, firstText);
    fixture->addRows(
        {{"00:00:03,000", "00:00:04,000", "a"}, {"00:00:10,000", "00:00:11,000", "b"}});
    tools->PageControl1->setCurrentIndex(page);
    tools->show();
    tools->findChild<QLineEdit*>(box)->setText(text);
    const char* buttons[] = {"BitBtn1", "BitBtn2", "", "", "BitBtn6"};
    tools->findChild<QPushButton*>(buttons[page])->click();
    QCOMPARE(fixture->dialogs.log, QStringList{"notice: ok"});
    QVERIFY(!tools->isVisible());
    QStringList shown;
    for (const std::string& start : startTexts(*fixture->form))
        shown << QString::fromStdString(start);
    QCOMPARE(shown, starts);
    QCOMPARE(QString::fromStdString(fixture->form->Sub.rowAt(0).SubText), firstText);
}

void ToolFormTest::nothingToDoShowsNothing_data() {
    QTest::addColumn<bool>("withRows");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::newRow("shift empty box") << true << "BitBtn1"
                                     << "Edit1"
                                     << "";
    QTest::newRow("shift 0") << true << "BitBtn1"
                             << "Edit1"
                             << "0";
    QTest::newRow("shift decimal comma") << true << "BitBtn1"
                                         << "Edit1"
                                         << "1,5";
    QTest::newRow("shift empty store") << false << "BitBtn1"
                                       << "Edit1"
                                       << "2";
    QTest::newRow("scale empty store") << false << "BitBtn2"
                                       << "Edit2"
                                       << "00:00:01,000";
    QTest::newRow("wrap empty store") << false << "BitBtn6"
                                      << "Edit7"
                                      << "x";
    QTest::newRow("split empty store") << false << "BitBtn3"
                                       << "Edit4"
                                       << "";
    QTest::newRow("merge without file") << true << "BitBtn4"
                                        << "Edit6"
                                        << "";
    QTest::newRow("merge empty store") << false << "BitBtn4"
                                       << "Edit6"
                                       << "/no/such.srt";
}

void ToolFormTest::nothingToDoShowsNothing() {
    QFETCH(bool, withRows);
    QFETCH(QString, button);
    QFETCH(QString, box);
    QFETCH(QString, text);
    if (withRows) fixture->addRows({{"00:00:03,000", "00:00:04,000", "a"}});
    tools->show();
    tools->findChild<QLineEdit*>(box)->setText(text);
    tools->findChild<QPushButton*>(button)->click();
    QCOMPARE(fixture->dialogs.log, QStringList{});
    QVERIFY(tools->isVisible());
    if (withRows) QCOMPARE(startTexts(*fixture->form), std::vector<std::string>{"00:00:03,000"});
}

void ToolFormTest::errorLeavesTheWindowOpen() {
    fixture->addRows({{"00:00:03,000", "00:00:04,000", "only"}});
    tools->show();
    tools->Edit3->setText("00:00:09,000");
    tools->BitBtn2->click();  // one subtitle: nothing to stretch between
    QCOMPARE(fixture->dialogs.errors, QStringList{"Floating point division by zero."});
    tools->Edit6->setText("   ");
    tools->BitBtn4->click();  // a path of spaces passes the empty test and fails to open
    QCOMPARE(fixture->dialogs.errors.size(), 2);
    QVERIFY(fixture->dialogs.errors.last().startsWith("Cannot open file \""));
    QVERIFY(tools->isVisible());
    QCOMPARE(startTexts(*fixture->form), std::vector<std::string>{"00:00:03,000"});
}

void ToolFormTest::mergeFileChosenOrKept() {
    fixture->addRows({{"00:00:03,000", "00:00:04,000", "a"}});
    const auto file =
        fixture->folder.write("more.srt", "1\r\n00:00:01,000 --> 00:00:03,000\r\nb\r\n");
    fixture->dialogs.fileAnswers = {path(file), std::nullopt};
    tools->show();
    tools->BitBtn5->click();
    tools->BitBtn5->click();  // cancelled: the path stays
    QCOMPARE(tools->Edit6->text(), path(file));
    QCOMPARE(fixture->dialogs.lastFileDialog.name, QStringLiteral("OpenDialog2"));
    tools->BitBtn4->click();
    QCOMPARE(startTexts(*fixture->form),
             (std::vector<std::string>{"00:00:03,000", "00:45:02,000"}));
    QVERIFY(!tools->isVisible());

    // The split writes what starts after its cut to the chosen file.
    const auto out = fixture->folder.file("after.srt");
    fixture->dialogs.fileAnswers = {path(out)};
    tools->Edit4->setText("00:45:00,000");
    tools->show();
    tools->BitBtn3->click();
    QCOMPARE(fixture->dialogs.lastFileDialog.name, QStringLiteral("SaveDialog1"));
    QCOMPARE(TempFolder::read(out), std::string("1\r\n00:00:02,000 --> 00:00:04,000\r\nb\r\n\r\n"));
    QVERIFY(!tools->isVisible());
}

TIRELLE_TEST_MAIN(ToolFormTest)
#include "toolform_test.moc"
