// The preview and the capture without a window: the player double, a real store and a view of
// plain values standing for the controls.

#include <QtTest>
#include <cmath>
#include <functional>
#include <map>

#include "app/timing/capture.h"
#include "app/timing/preview.h"
#include "app/timing/timingview.h"
#include "store/dataset.h"
#include "store/scratchquery.h"
#include "store/statements.h"
#include "tests/support/fakeplayer.h"
#include "tests/support/tempfolder.h"
#include "tests/support/testmain.h"
#include "tests/support/typedrows.h"

using namespace tirelle;
using timing::Box;
using timing::Toggle;

namespace {

// The controls as plain values; the two toggles keep the group rule.
struct ValueView : timing::TimingView {
    std::map<Box, std::string> boxes;
    std::string caption;
    std::map<Toggle, bool> down{{Toggle::Capture, false}, {Toggle::Range, false}};
    std::map<Toggle, bool> enabled{{Toggle::Capture, true}, {Toggle::Range, true}};
    int lead = 70;
    std::string typed;
    QStringList notices;
    QList<bool> ticking;  // every switch of the timer, in order

    std::string text(Box box) const override { return boxes.count(box) ? boxes.at(box) : ""; }
    void setText(Box box, const std::string& text) override { boxes[box] = text; }
    void showCaption(const std::string& text) override { caption = text; }
    bool isDown(Toggle toggle) const override { return down.at(toggle); }
    void setDown(Toggle toggle, bool value) override {
        down[toggle] = value;
        if (value) down[toggle == Toggle::Capture ? Toggle::Range : Toggle::Capture] = false;
    }
    void setEnabled(Toggle toggle, bool value) override { enabled[toggle] = value; }
    int leadPosition() const override { return lead; }
    void showLeadTime(const std::string&) override {}
    std::string newText() const override { return typed; }
    void clearNewText() override { typed.clear(); }
    void notice(const std::string& text) override { notices << QString::fromStdString(text); }
    void setTicking(bool on) override { ticking << on; }
};

// Three subtitles, the first two overlapping.
const std::vector<testing::TypedRow> kRows = {{"00:00:01,000", "00:00:05,000", "  first  "},
                                              {"00:00:02,000", "00:00:08,000", "second"},
                                              {"00:00:20,000", "00:00:21,000", "later"}};

using Change = std::function<void(store::Dataset&)>;

}  // namespace

Q_DECLARE_METATYPE(Change)

class TimingTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        folder = std::make_unique<testing::TempFolder>();
        connection.openFile(folder->file("store.db"));
        sub.setConnection(&connection);
        sub.setCommandText(store::kSelectAllSql);
        sub.beforePost = [](store::Dataset& dataset) { store::DeriveSortKeys(dataset); };
        sub.open();
        testing::AppendRows(sub, kRows);
        sub.requery();
        find.setConnection(&connection);
        view = ValueView();
        player.clearFailures();
        capture.adjustTime = nullptr;
        preview.reset();
    }
    void cleanup() {
        sub.close();
        connection.close();
    }

    void resyncShowsWhatIsActive_data();
    void resyncShowsWhatIsActive();
    void storeChangeLeavesTheCursor_data();
    void storeChangeLeavesTheCursor();
    void failedTickLeavesTheTimerOff();
    void modes_data();
    void modes();
    void captureStepWithAndWithoutAdjustment_data();
    void captureStepWithAndWithoutAdjustment();

private:
    std::string currentStart() { return sub.fieldByName("STime").asString(); }
    // A user's click: the toggle flips (group rule included), then its handler runs.
    void click(Toggle toggle) {
        view.setDown(toggle, !view.isDown(toggle));
        toggle == Toggle::Capture ? capture.captureClicked() : capture.rangeClicked();
    }

    std::unique_ptr<testing::TempFolder> folder;
    store::Connection connection;
    store::Dataset sub;
    store::ScratchQuery find;
    ValueView view;
    testing::FakePlayer player;
    double nextStart = 0, activeEnd = 0;
    std::unique_ptr<std::vector<std::string>> lines;
    timing::Preview preview{{nextStart, activeEnd, lines}, player, sub, find, view};
    timing::Capture capture{player, sub, nullptr, view};
};

void TimingTest::resyncShowsWhatIsActive_data() {
    QTest::addColumn<double>("position");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<double>("activeEnd");
    QTest::addColumn<double>("nextStart");
    QTest::addColumn<QString>("current");
    // Before every start the cursor stays on the first row, and the first start is next.
    QTest::newRow("before all") << 0.5 << "" << 100000.0 << 1.0 << "00:00:01,000";
    QTest::newRow("two active") << 3.0 << "second\r\nfirst\r\n" << 5.0 << 20.0 << "00:00:02,000";
    QTest::newRow("at an end") << 5.0 << "second\r\n" << 8.0 << 20.0 << "00:00:02,000";
    QTest::newRow("in a gap") << 10.0 << "" << 100000.0 << 20.0 << "00:00:02,000";
    // On the last row the next start is its own.
    QTest::newRow("at the last start") << 20.0 << "" << 100000.0 << 20.0 << "00:00:20,000";
}

void TimingTest::resyncShowsWhatIsActive() {
    QFETCH(double, position);
    QFETCH(QString, caption);
    player.setPosition(position);
    preview.resync();
    QCOMPARE(QString::fromStdString(preview.caption()), caption);
    QCOMPARE(QString::fromStdString(view.caption), caption);
    QTEST(activeEnd, "activeEnd");
    QTEST(nextStart, "nextStart");
    QTEST(QString::fromStdString(currentStart()), "current");
}

void TimingTest::storeChangeLeavesTheCursor_data() {
    QTest::addColumn<Change>("change");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<double>("activeEnd");
    const auto set = [](int row, const char* field, const char* value) -> Change {
        return [=](store::Dataset& sub) {
            sub.moveBy(row - sub.currentRow());
            sub.edit();
            sub.fieldByName(field).setAsString(value);
            sub.post();
        };
    };
    QTest::newRow("shown text edited") << set(0, "SubText", "changed") << "second\r\nchanged\r\n"
                                       << 5.0;
    QTest::newRow("shown end moved before the position")
        << set(1, "ETime", "00:00:02,500") << "first\r\n"
        << 5.0;
    QTest::newRow("row still being edited") << Change([](store::Dataset& sub) {
        sub.edit();
        sub.fieldByName("SubText").setAsString("typing");
    }) << "second\r\nfirst\r\n" << 5.0;
    QTest::newRow("store emptied") << Change([](store::Dataset& sub) {
        while (!sub.isEmpty()) sub.remove();
    }) << "" << 100000.0;
}

void TimingTest::storeChangeLeavesTheCursor() {
    QFETCH(Change, change);
    player.setPosition(3.0);
    preview.resync();
    sub.last();  // the user moved on in the list
    change(sub);
    const int row = sub.currentRow();
    preview.storeChanged();
    QTEST(QString::fromStdString(view.caption), "caption");
    QTEST(activeEnd, "activeEnd");
    QCOMPARE(sub.currentRow(), row);
}

void TimingTest::failedTickLeavesTheTimerOff() {
    player.setPosition(3.5);
    view.ticking.clear();
    preview.tick(&capture);
    QCOMPARE(view.ticking, (QList<bool>{false, true}));
    QCOMPARE(QString::fromStdString(view.text(Box::Position)), QStringLiteral("00:00:03,500"));

    view.ticking.clear();
    player.failOn(QStringLiteral("position"), QStringLiteral("gone"));
    QVERIFY_THROWS_EXCEPTION(playback::PlayerError, preview.tick(&capture));
    QCOMPARE(view.ticking, QList<bool>{false});
}

void TimingTest::modes_data() {
    QTest::addColumn<QString>("before");  // "idle", "capture" or "range" (">" then disabled)
    QTest::addColumn<QString>("event");
    QTest::addColumn<int>("after");
    QTest::addColumn<bool>("captureEnabled");
    QTest::addColumn<QStringList>("calls");
    using Mode = timing::Capture::Mode;
    const auto idle = int(Mode::Idle), capturing = int(Mode::Capturing),
               range = int(Mode::RangePreview);
    QTest::newRow("idle, >") << "idle"
                             << ">" << capturing << true << QStringList{"play"};
    QTest::newRow("capture, >") << "capture"
                                << ">" << idle << true << QStringList{"pause"};
    QTest::newRow("capture, stop") << "capture"
                                   << "stop" << idle << true << QStringList{"pause"};
    QTest::newRow("idle, stop") << "idle"
                                << "stop" << idle << true << QStringList{};
    QTest::newRow("range, stop") << "range"
                                 << "stop" << range << false << QStringList{};
    QTest::newRow("idle, -->") << "idle"
                               << "-->" << range << false << QStringList{"seek 2", "play"};
    // ">" goes up by the group rule, without its pause.
    QTest::newRow("capture, -->") << "capture"
                                  << "-->" << range << false << QStringList{"seek 2", "play"};
    QTest::newRow("range, -->") << "range"
                                << "-->" << idle << true << QStringList{"seek 5", "pause"};
    QTest::newRow("range, tick past its end") << "range"
                                              << "tick" << idle << true << QStringList{"pause"};
    QTest::newRow("range, video opened") << "range"
                                         << "video" << capturing << false << QStringList{};
}

void TimingTest::modes() {
    QFETCH(QString, before);
    QFETCH(QString, event);
    view.boxes = {{Box::Start, "00:00:02,000"}, {Box::End, "00:00:05,000"}};
    view.setDown(Toggle::Capture, before == "capture");
    view.setDown(Toggle::Range, before == "range");
    view.enabled[Toggle::Capture] = before != "range";
    player.setPosition(6.0);
    player.calls.clear();
    if (event == ">") click(Toggle::Capture);
    if (event == "-->") click(Toggle::Range);
    if (event == "stop") capture.stop();
    if (event == "tick") capture.tickSteps();
    if (event == "video") capture.videoOpened();
    QTEST(int(capture.mode()), "after");
    QTEST(view.enabled[Toggle::Capture], "captureEnabled");
    QTEST(player.calls, "calls");
}

void TimingTest::captureStepWithAndWithoutAdjustment_data() {
    QTest::addColumn<double>("position");
    QTest::addColumn<int>("slider");
    QTest::addColumn<bool>("adjusted");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::newRow("lead 3") << 65.4321 << 70 << false << "00:01:02,432"
                            << "00:01:05,432";
    QTest::newRow("below the lead") << 1.5 << 70 << false << "00:00:00,000"
                                    << "00:00:01,500";
    // The adjustment below puts the start a second before its whole second and the end up to
    // the next whole second; a time it puts below 0 is 0.
    QTest::newRow("adjusted") << 65.4321 << 70 << true << "00:01:01,000"
                              << "00:01:06,000";
    QTest::newRow("adjusted below 0") << 0.2 << 100 << true << "00:00:00,000"
                                      << "00:00:01,000";
}

void TimingTest::captureStepWithAndWithoutAdjustment() {
    QFETCH(double, position);
    QFETCH(int, slider);
    QFETCH(bool, adjusted);
    view.lead = slider;
    if (adjusted)
        capture.adjustTime = [](timing::Capture::Edge edge, double seconds) {
            return edge == timing::Capture::Edge::Start ? std::floor(seconds) - 1
                                                        : std::ceil(seconds);
        };
    view.setDown(Toggle::Capture, true);
    player.setPosition(position);
    preview.tick(&capture);
    QTEST(QString::fromStdString(view.text(Box::Start)), "start");
    QTEST(QString::fromStdString(view.text(Box::End)), "end");
}

TIRELLE_TEST_MAIN(TimingTest)
#include "timing_test.moc"
