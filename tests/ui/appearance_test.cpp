// The commands of the menus "界面" and "帮助": the shared font dialog, the list's font and row
// lines, the help document and the about box.

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include "app/aboutform.h"
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

class AppearanceTest : public QObject {
    Q_OBJECT
private slots:
    void init() { fixture = std::make_unique<FormFixture>(); }
    void cleanup() { fixture.reset(); }

    void fontDialogKeepsTheLastChoiceForEveryCommand();
    void listFontChangesCellsNotTitles();
    void rowLinesAnswer_data();
    void rowLinesAnswer();
    void helpOpensTheDocumentBesideTheProgram();
    void aboutBoxIsFreshEachTime();

private:
    std::unique_ptr<FormFixture> fixture;
};

void AppearanceTest::fontDialogKeepsTheLastChoiceForEveryCommand() {
    auto& form = *fixture->form;
    auto& dialogs = fixture->dialogs;
    const QColor windowText = form.palette().color(QPalette::WindowText);
    QCOMPARE(form.FontDialog1.font.family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(form.FontDialog1.font.pixelSize(), 13);

    const FontChoice chosen = fontOf("DejaVu Serif", 22, windowText);
    dialogs.fontAnswers = {chosen};
    form.N7Click();
    QCOMPARE(form.Memo1->font().family(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(form.Memo1->palette().color(QPalette::Text), windowText);

    // The caption's command opens on the text box's choice; cancelling changes nothing.
    const QFont captionFont = form.Label3->font();
    dialogs.fontAnswers = {std::nullopt};
    form.N3Click();
    QCOMPARE(dialogs.lastFontShown.font, chosen.font);
    QCOMPARE(form.Label3->font(), captionFont);
    QCOMPARE(form.Label3->palette().color(QPalette::WindowText), QColor(Qt::white));

    // Confirmed without picking a colour: the caption's white gives way to the window text.
    dialogs.fontAnswers = {chosen};
    form.N3Click();
    QCOMPARE(form.Label3->palette().color(QPalette::WindowText), windowText);
    QCOMPARE(dialogs.log, QStringList({"font", "font", "font"}));
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

void AppearanceTest::helpOpensTheDocumentBesideTheProgram() {
    fixture->form->menuItem(QStringLiteral("N21"))->trigger();
    const QString expected = QString::fromStdString((fixture->folder.path() / "help.mht").string());
    QCOMPARE(fixture->dialogs.log, QStringList{"document: " + expected});
    QCOMPARE(fixture->dialogs.errors, QStringList());
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
