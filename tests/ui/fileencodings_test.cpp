// Opening subtitle files in the encodings people send around: the right text in the store and
// the preview, the status bar naming the encoding read, and a save that gives the code page.

#include <QLabel>
#include <QStatusBar>
#include <QtTest>

#include "app/srtform.h"
#include "app/ui/textcodec.h"
#include "tests/support/encodedtext.h"
#include "tests/support/formfixture.h"
#include "tests/support/testmain.h"

using tirelle::CodePage;
using tirelle::testing::Encoded;
using tirelle::testing::FormFixture;
using tirelle::testing::TempFolder;

namespace {

std::string cue(const std::string& text) {
    return "1\r\n00:00:01,000 --> 00:00:02,500\r\n" + text + "\r\n\r\n";
}

QString path(const std::filesystem::path& file) {
    return QString::fromStdString(file.string());
}

QByteArray bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

class FileEncodingsTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        tirelle::ui::setCodePage(CodePage(CodePage::Kind::Utf8));
        fixture = std::make_unique<FormFixture>();
    }
    void cleanup() {
        fixture.reset();
        tirelle::ui::setCodePage(CodePage(CodePage::Kind::Utf8));
    }

    void openShowsTheText_data();
    void openShowsTheText();
    void replacementsAreCounted();

private:
    // Opens the file through the open command into the (empty) store.
    void open(const std::filesystem::path& file) {
        fixture->dialogs.fileAnswers = {path(file)};
        fixture->form->N6Click();
        QVERIFY(fixture->dialogs.errors.isEmpty());
    }
    QString status() const { return fixture->form->statusBar()->currentMessage(); }

    std::unique_ptr<FormFixture> fixture;
};

void FileEncodingsTest::openShowsTheText_data() {
    QTest::addColumn<bool>("gbkSystem");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const std::string simplified = "陶喆、王堃和朱镕基出席了会议";
    const std::string traditional = "這是繁體中文字幕";
    const QString utf8 = QString::fromUtf8(simplified.c_str());
    // Which encoding each kind of file is found in is the reader's own table; here, what the
    // window shows for a file in the code page and for a converted one, by the name it gives.
    QTest::newRow("UTF-8") << false << bytes(cue(simplified)) << utf8
                           << QStringLiteral("已读取 1 条字幕：in.srt");
    QTest::newRow("UTF-16 LE") << false << bytes("\xFF\xFE" + Encoded(cue(simplified), "UTF-16LE"))
                               << utf8 << QStringLiteral("已按 UTF-16LE 编码读取：in.srt");
    QTest::newRow("GBK") << false << bytes(Encoded(cue(simplified), "GBK")) << utf8
                         << QStringLiteral("已按 GB18030 编码读取：in.srt");
    QTest::newRow("Big5") << false << bytes(Encoded(cue(traditional), "BIG5"))
                          << QString::fromUtf8(traditional.c_str())
                          << QStringLiteral("已按 Big5 编码读取：in.srt");
    // A GBK system reads a GBK file byte for byte and says only what it read.
    QTest::newRow("GBK on a GBK system")
        << true << bytes(Encoded(cue(simplified), "GBK")) << utf8
        << QStringLiteral("已读取 1 条字幕：in.srt");
}

void FileEncodingsTest::openShowsTheText() {
    QFETCH(QByteArray, file);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(bool, gbkSystem);
    if (gbkSystem) tirelle::ui::setCodePage(CodePage::fromLocaleName("zh_CN.GBK"));
    fixture->form->ShowStatus(QStringLiteral("an earlier note"));
    open(fixture->folder.write("in.srt", file.toStdString()));
    QCOMPARE(fixture->form->Sub.rowCount(), 1);
    QCOMPARE(tirelle::ui::toQString(fixture->form->Sub.rowAt(0).SubText), text);
    QCOMPARE(status(), message);
    fixture->player->setCurrentPosition(1.5);
    fixture->form->RefreshPreview();
    QCOMPARE(fixture->form->Label3->text(),
             text + "\n");  // the caption ends each text with a break
}

void FileEncodingsTest::replacementsAreCounted() {
    // A GBK file cut inside its last character.
    open(fixture->folder.write("cut.srt",
                               Encoded(cue("陶喆、王堃和朱镕基出席了会议"), "GBK") + "\xD6"));
    QCOMPARE(status(), QStringLiteral("已按 GB18030 编码读取：cut.srt（1 处无法转换，已替换）"));
}

TIRELLE_TEST_MAIN(FileEncodingsTest)
#include "fileencodings_test.moc"
