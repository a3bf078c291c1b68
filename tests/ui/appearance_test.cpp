// The commands of the menus "界面" and "帮助": the shared font dialog, the list's font and row
// lines, the help document and the about box.

#include <QAction>
#include <QBuffer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QtTest>

#include "app/aboutform.h"
#include "app/helpform.h"
#include "app/listview/subtitlegrid.h"
#include "app/srtform.h"
#include "app/ui/scaling.h"
#include "tests/support/formfixture.h"
#include "tests/support/testmain.h"

using tirelle::testing::FormFixture;
using tirelle::ui::FontChoice;

namespace {
FontChoice fontOf(const char* family, int pixels, QColor colour) {
    QFont font{QString::fromLatin1(family)};
    font.setPixelSize(pixels);
    return FontChoice{font, colour};
}
}  // namespace

using Target = std::function<FontChoice(tirelle::app::TSrtForm&)>;
Q_DECLARE_METATYPE(Target)

class AppearanceTest : public QObject {
    Q_OBJECT
private slots:
    void init() { fixture = std::make_unique<FormFixture>(); }
    void cleanup() { fixture.reset(); }

    void fontDialogStartsFromTheTarget_data();
    void fontDialogStartsFromTheTarget();
    void listFontChangesCellsNotTitles();
    void rowLinesAnswer_data();
    void rowLinesAnswer();
    void helpOpensTheDocumentBesideTheProgram_data();
    void helpOpensTheDocumentBesideTheProgram();
    void captionDrawsStyleTags();
    void aboutBoxIsFreshEachTime();

private:
    std::unique_ptr<FormFixture> fixture;
};

void AppearanceTest::fontDialogStartsFromTheTarget_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("title");
    QTest::addColumn<Target>("target");
    QTest::newRow("caption") << "N3"
                             << "字幕预览字体" << Target([](auto& form) {
                                    return FontChoice{
                                        form.Label3->font(),
                                        form.Label3->palette().color(QPalette::WindowText)};
                                });
    QTest::newRow("text box")
        << "N7"
        << "字幕输入框字体" << Target([](auto& form) {
               return FontChoice{form.Memo1->font(), form.Memo1->palette().color(QPalette::Text)};
           });
    QTest::newRow("list")
        << "N22"
        << "列表框字体" << Target([](auto& form) {
               return FontChoice{form.DBGridEh1->listFont(), form.DBGridEh1->listColor()};
           });
}

void AppearanceTest::fontDialogStartsFromTheTarget() {
    QFETCH(QString, item);
    QFETCH(QString, title);
    QFETCH(Target, target);
    auto& form = *fixture->form;
    auto& dialogs = fixture->dialogs;
    // Another target's choice first: it must not become this one's starting point.
    const QString other = item == "N7" ? "N3" : "N7";
    dialogs.fontAnswers = {fontOf("DejaVu Serif", 31, Qt::green)};
    form.menuItem(other)->trigger();

    const FontChoice before = target(form);
    dialogs.fontAnswers = {std::nullopt};
    form.menuItem(item)->trigger();
    QCOMPARE(dialogs.log.last(), "font: " + title);
    QCOMPARE(dialogs.lastFontShown.font, before.font);
    QCOMPARE(dialogs.lastFontShown.color, before.color);
    QCOMPARE(target(form).font, before.font);  // cancelled: nothing changes

    // Only the size changed in the dialog: the colour and family stay.
    FontChoice resized = before;
    resized.font.setPixelSize(before.font.pixelSize() + 7);
    dialogs.fontAnswers = {resized};
    form.menuItem(item)->trigger();
    QCOMPARE(target(form).font.pixelSize(), resized.font.pixelSize());
    QCOMPARE(target(form).font.family(), before.font.family());
    QCOMPARE(target(form).color, before.color);
}

void AppearanceTest::listFontChangesCellsNotTitles() {
    auto& grid = *fixture->form->DBGridEh1;
    const QFont titles = grid.titleFont();
    const int rowPixels = grid.dataRowHeight();
    fixture->dialogs.fontAnswers = {fontOf("DejaVu Sans", 30, Qt::red)};
    fixture->form->N22Click();
    QCOMPARE(grid.listFont().pixelSize(), 30);
    QCOMPARE(grid.listColor(), QColor(Qt::red));
    QCOMPARE(grid.titleFont(), titles);
    QVERIFY2(grid.dataRowHeight() > rowPixels, "the rows grow with the font");
    // A whole time code fits the two time columns in the new font.
    const int code =
        QFontMetrics(grid.listFont()).horizontalAdvance(QStringLiteral("00:00:00,000"));
    for (int place : {0, 1}) QVERIFY(grid.columnWidth(place) >= code + 5);
}

void AppearanceTest::rowLinesAnswer_data() {
    QTest::addColumn<QVariant>("answer");  // invalid: Cancel
    QTest::addColumn<int>("lines");
    QTest::newRow("five") << QVariant("5") << 5;
    QTest::newRow("leading space") << QVariant(" 5") << 5;
    QTest::newRow("trailing space") << QVariant("5 ") << 3;
    QTest::newRow("empty") << QVariant("") << 3;
    QTest::newRow("negative") << QVariant("-2") << 1;
    QTest::newRow("hex") << QVariant("$A") << 10;
    QTest::newRow("words") << QVariant("五") << 3;
    QTest::newRow("cancel") << QVariant() << 3;
}

void AppearanceTest::rowLinesAnswer() {
    QFETCH(QVariant, answer);
    QFETCH(int, lines);
    auto& grid = *fixture->form->DBGridEh1;
    // A font 15 pixels high without external leading, so n lines are exactly n lines.
    grid.setMetricsSource([](const QFont&) {
        return tirelle::listview::TextMetrics{15, 15, 0, 2};
    });
    grid.setRowLines(7);
    if (answer.isValid())
        fixture->dialogs.inputAnswers = {answer.toString()};
    else
        fixture->dialogs.inputAnswers = {std::nullopt};
    fixture->form->N23Click();
    QCOMPARE(fixture->dialogs.log, QStringList{"input: 请输入: 行高"});
    QCOMPARE(fixture->dialogs.lastInputInitial, QStringLiteral("3"));
    QCOMPARE(grid.rowLines(), lines);
}

void AppearanceTest::helpOpensTheDocumentBesideTheProgram_data() {
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("desktopOpens");
    QTest::addColumn<bool>("ownWindow");
    QTest::newRow("desktop opens it") << true << true << false;
    QTest::newRow("desktop cannot") << true << false << true;
    QTest::newRow("no document") << false << false << false;
}

void AppearanceTest::helpOpensTheDocumentBesideTheProgram() {
    QFETCH(bool, present);
    QFETCH(bool, desktopOpens);
    QFETCH(bool, ownWindow);
    // A page in quoted-printable UTF-8 with two pictures, one by its place and one by its id.
    QImage picture(3, 2, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    picture.save(&buffer, "PNG");
    const QByteArray mhtml =
        "MIME-Version: 1.0\r\nContent-Type: multipart/related;\r\n boundary=\"--b\"\r\n\r\n"
        "----b\r\nContent-Type: text/html; charset=utf-8\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\nContent-Location: "
        "file:///doc/help.html\r\n\r\n"
        "<html><head><title>=E5=B8=AE=E5=8A=A9</title></head><body><p>=E4=BD=BF=E7=94=A8=\r\n"
        "=E5=B8=AE=E5=8A=A9</p><img src=3D\"pics/a.png\"><img src=3D\"cid:b@x\"></body></html>\r\n"
        "----b\r\nContent-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n"
        "Content-Location: file:///doc/pics/a.png\r\n\r\n" +
        png.toBase64() +
        "\r\n"
        "----b\r\nContent-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n"
        "Content-ID: <b@x>\r\n\r\n" +
        png.toBase64() + "\r\n----b--\r\n";
    if (present) fixture->folder.write("help.mht", mhtml.toStdString());
    fixture->dialogs.documentOpens = {desktopOpens};
    fixture->form->menuItem(QStringLiteral("N21"))->trigger();

    const QString expected = QString::fromStdString((fixture->folder.path() / "help.mht").string());
    QCOMPARE(fixture->dialogs.log, present ? QStringList{"document: " + expected} : QStringList());
    QCOMPARE(fixture->dialogs.errors, QStringList());
    auto* help = fixture->form->helpForm();
    QCOMPARE(help != nullptr && help->isVisible(), ownWindow);
    if (!ownWindow) return;
    // The soft line break joined the words; each picture stands as one object.
    const QString pictures(2, QChar::ObjectReplacementCharacter);
    QCOMPARE(help->Browser->toPlainText().trimmed(), QStringLiteral("使用帮助") + pictures);
    QCOMPARE(help->windowTitle(), QStringLiteral("帮助 - 帮助"));
    for (const char* name : {"pics/a.png", "cid:b@x"}) {
        const QImage shown =
            help->Browser
                ->loadResource(QTextDocument::ImageResource, QUrl(QString::fromLatin1(name)))
                .value<QImage>();
        QCOMPARE(shown.size(), QSize(3, 2));
    }
    // Nothing outside the document is fetched.
    QVERIFY(help->Browser->loadResource(QTextDocument::ImageResource, QUrl("file:///etc/hosts"))
                .isNull());
}

void AppearanceTest::captionDrawsStyleTags() {
    fixture->addRows({{"00:00:01,000", "00:00:05,000", "<i>slanted</i> & <b>x</b>"},
                      {"00:00:02,000", "00:00:04,000", "<font color=\"#00ff00\">g</font><p>"}});
    fixture->player->setCurrentPosition(3.0);
    QLabel* caption = fixture->form->Label3;
    QCOMPARE(caption->textFormat(), Qt::RichText);
    QTextDocument drawn;
    drawn.setHtml(caption->text());
    QCOMPARE(drawn.toPlainText().replace(QChar::LineSeparator, '\n'),
             QStringLiteral("g<p>\nslanted & x\n"));
    // Each character's style, by its place in the drawn text.
    const auto formatAt = [&](int at) {
        QTextCursor cursor(&drawn);
        cursor.setPosition(at + 1);
        return cursor.charFormat();
    };
    QCOMPARE(formatAt(0).foreground().color(), QColor(0, 255, 0));
    QCOMPARE(formatAt(1).foreground().style(), Qt::NoBrush);  // "<" after the font's end
    QVERIFY(formatAt(5).fontItalic());                        // "s" of slanted
    QVERIFY(!formatAt(13).fontItalic());                      // "&"
    QCOMPARE(formatAt(15).fontWeight(), int(QFont::Bold));    // "x"
    // The store keeps the tags.
    QCOMPARE(fixture->form->Sub.rowAt(0).SubText, "<i>slanted</i> & <b>x</b>");
}

void AppearanceTest::aboutBoxIsFreshEachTime() {
    using tirelle::app::AboutForm;
    using tirelle::app::TAboutForm;
    TAboutForm startUp;
    AboutForm = &startUp;
    // What each showing looked like, read while it is up and checked once it is closed, so that
    // a failed check never leaves the box waiting for a person.
    struct Seen {
        QPointer<TAboutForm> box;
        bool current = false;
        QString title;
        QSize size;
        bool contactShown = false;
        bool readOnly = false;
    };
    QList<Seen> seen;
    for (int run = 0; run < 2; ++run) {
        QTimer::singleShot(0, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<TAboutForm*>(modal)) {
                seen << Seen{box,
                             AboutForm == box,
                             box->windowTitle(),
                             box->size(),
                             QTest::qWaitFor([&] {
                                 return box->Edit1->text() == TAboutForm::contactAddress();
                             }),
                             box->Edit1->isReadOnly()};
            }
            if (modal) modal->close();
        });
        fixture->form->menuItem(QStringLiteral("N20"))->trigger();
        // Gone once closed: the next showing is a new box.
        QVERIFY(seen.size() == run + 1 && seen.last().box.isNull());
    }
    for (const Seen& box : seen) {
        QVERIFY(box.current);
        QCOMPARE(box.title, QStringLiteral("关于"));
        QCOMPARE(box.size, QSize(tirelle::ui::scaled(301), tirelle::ui::scaled(150)));
        QVERIFY(box.contactShown);
        QVERIFY(box.readOnly);
    }
    QCOMPARE(AboutForm, &startUp);
    AboutForm = nullptr;
}

TIRELLE_TEST_MAIN(AppearanceTest)
#include "appearance_test.moc"
