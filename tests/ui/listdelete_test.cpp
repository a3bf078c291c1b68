// The list's delete command "删除" in the main window: its question, the row it deletes, and
// the rows being edited or built.

#include <QMenu>
#include <QtTest>

#include "app/listview/subtitlegrid.h"
#include "app/srtform.h"
#include "tests/support/formfixture.h"
#include "tests/support/testmain.h"

using tirelle::store::DatasetState;
using tirelle::testing::FormFixture;

namespace {
// Scripted dialogs whose question lets something happen while it is shown, as the nested event
// loop of the real box lets the timer tick and the player report.
class WhileAsking : public tirelle::testing::ScriptedDialogs {
public:
    explicit WhileAsking(std::function<void()> during) : during_(std::move(during)) {}
    bool question(QWidget* parent, const QString& text) override {
        during_();
        return ScriptedDialogs::question(parent, text);
    }
    bool confirm(QWidget* parent, const QString& title, const QString& text) override {
        during_();
        return ScriptedDialogs::confirm(parent, title, text);
    }

private:
    std::function<void()> during_;
};

QStringList texts(tirelle::store::Dataset& sub) {
    QStringList all;
    for (int row = 0; row < sub.rowCount(); ++row)
        all << QString::fromStdString(sub.rowAt(row).SubText);
    return all;
}
}  // namespace

class ListDeleteTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        fixture = std::make_unique<FormFixture>();
        fixture->form->resize(1000, 700);
        fixture->form->show();
        QVERIFY(QTest::qWaitForWindowExposed(fixture->form.get()));
    }
    void cleanup() { fixture.reset(); }

    void emptyListAsksNothing();
    void rightClickedRowIsTheOneDeleted();
    void answerNoKeepsTheRow();
    void rowBeingEditedIsDeletedUnstored();
    void newRowIsOnlyDiscarded();
    void rowAskedAboutIsTheOneDeleted();
    void ctrlDeleteDeletesTheRowAskedAbout();

private:
    void threeRows() {
        fixture->addRows({{"00:00:01,000", "00:00:02,000", "a"},
                          {"00:00:03,000", "00:00:04,000", "b"},
                          {"00:00:05,000", "00:00:06,000", "c"}});
    }
    std::unique_ptr<FormFixture> fixture;
};

void ListDeleteTest::emptyListAsksNothing() {
    fixture->form->N15Click();
    QCOMPARE(fixture->dialogs.log, QStringList{});
}

void ListDeleteTest::rightClickedRowIsTheOneDeleted() {
    threeRows();
    auto* grid = fixture->form->DBGridEh1;
    QCOMPARE(fixture->form->Sub.currentRow(), 0);
    const QRect cell = grid->cellRect(2, 2);
    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, cell.center());
    QCOMPARE(fixture->form->Sub.currentRow(), 2);
    fixture->form->PopupMenu1->close();
    fixture->dialogs.questionAnswers = {true};
    fixture->form->menuItem("N15")->trigger();
    QCOMPARE(fixture->dialogs.log, QStringList{"question: 确定?"});
    QCOMPARE(texts(fixture->form->Sub), (QStringList{"a", "b"}));
    QCOMPARE(fixture->form->Sub.currentRow(), 1);  // the new last row
}

void ListDeleteTest::answerNoKeepsTheRow() {
    threeRows();
    fixture->dialogs.questionAnswers = {false};
    fixture->form->N15Click();
    QCOMPARE(texts(fixture->form->Sub), (QStringList{"a", "b", "c"}));
}

void ListDeleteTest::rowBeingEditedIsDeletedUnstored() {
    threeRows();
    auto& sub = fixture->form->Sub;
    sub.moveBy(1);
    sub.edit();
    sub.fieldByName("SubText").setAsString("changed");
    fixture->dialogs.questionAnswers = {true};
    fixture->form->N15Click();
    QCOMPARE(texts(sub), (QStringList{"a", "c"}));
    QCOMPARE(sub.state(), DatasetState::Browse);
    sub.requery();
    QCOMPARE(texts(sub), (QStringList{"a", "c"}));
}

void ListDeleteTest::newRowIsOnlyDiscarded() {
    threeRows();
    auto& sub = fixture->form->Sub;
    sub.moveBy(1);
    sub.insert();
    fixture->dialogs.questionAnswers = {true};
    fixture->form->N15Click();
    QCOMPARE(texts(sub), (QStringList{"a", "b", "c"}));
    QCOMPARE(sub.recordCount(), 3);
}

void ListDeleteTest::rowAskedAboutIsTheOneDeleted() {
    threeRows();
    auto& sub = fixture->form->Sub;
    {
        // While "确定?" is up the video plays into "b", and the preview moves the cursor there.
        WhileAsking dialogs([&] { fixture->player->userSeek(3.5); });
        dialogs.questionAnswers = {true};
        fixture->form->N15Click();
        QCOMPARE(texts(sub), (QStringList{"b", "c"}));
    }
    {
        // Asked about a new row, which the preview's move drops: nothing else is deleted.
        sub.moveBy(1);
        sub.insert();
        WhileAsking dialogs([&] { fixture->player->userSeek(1.0); });
        dialogs.questionAnswers = {true};
        fixture->form->N15Click();
        QCOMPARE(texts(sub), (QStringList{"b", "c"}));
        QCOMPARE(sub.recordCount(), 2);
    }
}

void ListDeleteTest::ctrlDeleteDeletesTheRowAskedAbout() {
    threeRows();
    auto& sub = fixture->form->Sub;
    auto* grid = fixture->form->DBGridEh1;
    sub.last();  // "c" asked about
    grid->setFocus();
    // While "Delete record?" is up the video is sought into "a", and the preview moves there.
    WhileAsking dialogs([&] { fixture->player->userSeek(1.5); });
    dialogs.confirmAnswers = {true};
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(dialogs.log, QStringList{"confirm: Confirm: Delete record?"});
    QCOMPARE(texts(sub), (QStringList{"a", "b"}));
}

TIRELLE_TEST_MAIN(ListDeleteTest)
#include "listdelete_test.moc"
