// What every command leaves behind: its report in the status bar, and the caption showing the
// subtitles active at the (paused) position with their texts after the change.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QtTest>
#include <functional>

#include "app/srtform.h"
#include "app/toolform.h"
#include "tests/support/formfixture.h"
#include "tests/support/testmain.h"

using tirelle::testing::FormFixture;
using Command = std::function<void(FormFixture&)>;
Q_DECLARE_METATYPE(Command)

namespace {

void shift(FormFixture& fixture, const char* seconds) {
    fixture.form->toolForm()->Edit1->setText(QString::fromLatin1(seconds));
    fixture.form->toolForm()->BitBtn1Click();
}

}  // namespace

class FeedbackTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        fixture = std::make_unique<FormFixture>();
        fixture->addRows({{"00:00:01,000", "00:00:05,000", "one"},
                          {"00:00:02,000", "00:00:08,000", "second"},
                          {"00:00:20,000", "00:00:21,000", "later"}});
        fixture->player->setCurrentPosition(3.0);  // a seek, then paused there
    }
    void cleanup() { fixture.reset(); }

    void commandReportsAndCaptionFollows_data();
    void commandReportsAndCaptionFollows();

private:
    std::unique_ptr<FormFixture> fixture;
};

void FeedbackTest::commandReportsAndCaptionFollows_data() {
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("caption");
    QTest::newRow("list edit") << Command([](FormFixture& f) {
        auto& sub = f.form->Sub;
        sub.moveBy(-sub.currentRow());
        sub.edit();
        sub.fieldByName("SubText").setAsString("edited");
        sub.post();
    }) << "已修改字幕"
                               << "second\r\nedited\r\n";
    QTest::newRow("delete") << Command([](FormFixture& f) {
        f.dialogs.questionAnswers = {true};
        f.form->N15Click();
    }) << "已删除字幕 00:00:02,000（余 2 条）"
                            << "one\r\n";
    QTest::newRow("insert") << Command([](FormFixture& f) {
        f.form->Edit1->setText("00:00:02,500");
        f.form->Edit2->setText("00:00:04,000");
        f.form->Memo1->setPlainText("new");
        f.form->BitBtn3Click();
    }) << "已插入字幕 00:00:02,500 --> 00:00:04,000（共 4 条）"
                            << "new\r\nsecond\r\none\r\n";
    QTest::newRow("shift") << Command([](FormFixture& f) { shift(f, "1.5"); })
                           << "时间平移 +1.500 秒：3 条"
                           << "one\r\n";
    QTest::newRow("shift by nothing")
        << Command([](FormFixture& f) { shift(f, "0"); }) << "时间平移：没有改变"
        << "second\r\none\r\n";
    QTest::newRow("undo") << Command([](FormFixture& f) {
        shift(f, "-0.2");
        f.form->UndoItemClick();
    }) << "已撤销：时间平移"
                          << "second\r\none\r\n";
    QTest::newRow("redo") << Command([](FormFixture& f) {
        shift(f, "1.5");
        f.form->UndoItemClick();
        f.form->RedoItemClick();
    }) << "已重做：时间平移"
                          << "one\r\n";
    QTest::newRow("open") << Command([](FormFixture& f) {
        const auto file =
            f.folder.write("in.srt", "1\r\n00:00:02,900 --> 00:00:03,500\r\nopened\r\n\r\n");
        f.dialogs.questionAnswers = {false};
        f.dialogs.fileAnswers = {QString::fromStdString(file.string())};
        f.form->N6Click();
    }) << "已读取 1 条字幕：in.srt"
                          << "opened\r\n";
    QTest::newRow("save") << Command([](FormFixture& f) {
        f.dialogs.fileAnswers = {QString::fromStdString((f.folder.path() / "out.srt").string())};
        f.form->N9Click();
    }) << "已保存 3 条字幕：out.srt"
                          << "second\r\none\r\n";
}

void FeedbackTest::commandReportsAndCaptionFollows() {
    QFETCH(Command, command);
    QFETCH(QString, status);
    QFETCH(QString, caption);
    QCOMPARE(QString::fromStdString(fixture->form->previewCaption()),
             QStringLiteral("second\r\none\r\n"));
    command(*fixture);
    QCOMPARE(fixture->form->statusBar()->currentMessage(), status);
    QTRY_COMPARE(QString::fromStdString(fixture->form->previewCaption()), caption);
    QCOMPARE(fixture->dialogs.errors, QStringList());
}

TIRELLE_TEST_MAIN(FeedbackTest)
#include "feedback_test.moc"
