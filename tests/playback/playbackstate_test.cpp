// The player's bookkeeping without libmpv: which play state the core's facts amount to, and
// what a position reading gives around reports, pauses and seeks.

#include <QTest>
#include <cmath>
#include <limits>
#include <vector>

#include "playback/playbackstate.h"

using tirelle::playback::mapPlayState;
using tirelle::playback::PlaybackFacts;
using tirelle::playback::PositionClock;

namespace {

// One step of a script for the clock; `now` is the monotonic time of the step in seconds.
struct Step {
    enum Op { Report, Run, Halt, Hold, Landed, Length, Rate, Read } op;
    double value;
    double now;
};
using Script = std::vector<Step>;

constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

}  // namespace

Q_DECLARE_METATYPE(PlaybackFacts)
Q_DECLARE_METATYPE(Script)

class PlaybackStateTest : public QObject {
    Q_OBJECT
private slots:
    void playStateFromFacts_data() {
        QTest::addColumn<PlaybackFacts>("facts");
        QTest::addColumn<int>("state");  // 0: nothing to report yet
        //                                 loading started idle   paused eof    stopped
        QTest::newRow("nothing loaded")
            << PlaybackFacts{false, false, true, false, false, false} << 1;
        QTest::newRow("opening") << PlaybackFacts{true, false, false, false, false, false} << 0;
        QTest::newRow("opening paused")
            << PlaybackFacts{true, false, false, true, false, false} << 0;
        QTest::newRow("playing") << PlaybackFacts{false, true, false, false, false, false} << 3;
        QTest::newRow("paused") << PlaybackFacts{false, true, false, true, false, false} << 2;
        QTest::newRow("at the end, unpaused")
            << PlaybackFacts{false, true, false, false, true, false} << 2;
        QTest::newRow("at the end, paused")
            << PlaybackFacts{false, true, false, true, true, false} << 2;
        QTest::newRow("stopped at 0") << PlaybackFacts{false, true, false, true, false, true} << 1;
        QTest::newRow("core idle") << PlaybackFacts{false, true, true, false, false, false} << 1;
        QTest::newRow("failed file") << PlaybackFacts{false, false, true, false, false, false} << 1;
    }
    void playStateFromFacts() {
        QFETCH(PlaybackFacts, facts);
        QFETCH(int, state);
        const auto mapped = mapPlayState(facts);
        QCOMPARE(mapped ? int(*mapped) : 0, state);
    }

    // Each script ends in a reading; `expected` is what it must give.
    void positionReadings_data() {
        QTest::addColumn<Script>("script");
        QTest::addColumn<double>("expected");
        using S = Step;
        QTest::newRow("nothing reported") << Script{{S::Read, 0, 5}} << 0.0;
        QTest::newRow("paused: the report as it is")
            << Script{{S::Report, 4.2, 1.0}, {S::Read, 0, 9.0}} << 4.2;
        QTest::newRow("playing: moves on from the report")
            << Script{{S::Run, 0, 1.0}, {S::Report, 4.2, 1.0}, {S::Read, 0, 1.03}} << 4.23;
        QTest::newRow("playing: no more than the lead ahead")
            << Script{{S::Run, 0, 1.0}, {S::Report, 4.2, 1.0}, {S::Read, 0, 3.0}}
            << 4.2 + PositionClock::kMaxLead;
        QTest::newRow("playing: never past the end") << Script{{S::Length, 10.0, 0},
                                                               {S::Run, 0, 1.0},
                                                               {S::Report, 9.96, 1.0},
                                                               {S::Read, 0, 1.1}}
                                                     << 10.0;
        QTest::newRow("playing: a late report does not step back")
            << Script{{S::Run, 0, 1.0},
                      {S::Report, 4.0, 1.0},
                      {S::Read, 0, 1.05},
                      {S::Report, 4.04, 1.051},
                      {S::Read, 0, 1.052}}
            << 4.05;
        QTest::newRow("resumed: time paused does not count") << Script{{S::Run, 0, 1.0},
                                                                       {S::Report, 4.0, 1.0},
                                                                       {S::Halt, 0, 1.01},
                                                                       {S::Run, 0, 8.0},
                                                                       {S::Read, 0, 8.01}}
                                                             << 4.01;
        QTest::newRow("paused after running: the report again") << Script{{S::Run, 0, 1.0},
                                                                          {S::Report, 4.0, 1.0},
                                                                          {S::Read, 0, 1.03},
                                                                          {S::Halt, 0, 1.03},
                                                                          {S::Read, 0, 1.04}}
                                                                << 4.0;
        QTest::newRow("seek: the target at once")
            << Script{{S::Report, 7.0, 1.0}, {S::Hold, 3.217, 1.0}, {S::Read, 0, 1.0}} << 3.217;
        QTest::newRow("seek done while paused: still the target") << Script{{S::Hold, 3.217, 1.0},
                                                                            {S::Report, 3.24, 1.1},
                                                                            {S::Landed, 3.24, 1.1},
                                                                            {S::Report, 3.24, 1.2},
                                                                            {S::Read, 0, 5.0}}
                                                                  << 3.217;
        QTest::newRow("playing on the landing frame: still the target")
            << Script{{S::Hold, 3.217, 1.0},
                      {S::Landed, 3.24, 1.1},
                      {S::Run, 0, 2.0},
                      {S::Report, 3.24, 2.0},
                      {S::Read, 0, 2.03}}
            << 3.217;
        QTest::newRow("playing past the landing frame: the core again")
            << Script{{S::Hold, 3.217, 1.0},
                      {S::Landed, 3.24, 1.1},
                      {S::Run, 0, 2.0},
                      {S::Report, 3.28, 2.04},
                      {S::Read, 0, 2.04}}
            << 3.28;
        QTest::newRow("reports before the seek is done do not end it")
            << Script{{S::Run, 0, 1.0},
                      {S::Hold, 3.217, 1.0},
                      {S::Report, 7.04, 1.01},
                      {S::Report, 7.08, 1.05},
                      {S::Read, 0, 1.06}}
            << 3.217;
        QTest::newRow("landing unknown: the first report while playing ends it")
            << Script{{S::Run, 0, 1.0},
                      {S::Hold, 3.217, 1.0},
                      {S::Landed, kUnknown, 1.1},
                      {S::Report, 3.24, 1.1},
                      {S::Read, 0, 1.1}}
            << 3.24;
        QTest::newRow("a seek back below the last reading while playing")
            << Script{{S::Run, 0, 1.0},      {S::Report, 7.0, 1.0},  {S::Read, 0, 1.03},
                      {S::Hold, 6.99, 1.03}, {S::Landed, 7.0, 1.04}, {S::Report, 7.04, 1.08},
                      {S::Read, 0, 1.08}}
            << 7.04;
        // Faster or slower playback moves the readings on at that speed, also across a change.
        QTest::newRow("at 2x, 50 ms on: 100 ms of media")
            << Script{{S::Rate, 2, 0}, {S::Run, 0, 1.0}, {S::Report, 4.0, 1.0}, {S::Read, 0, 1.05}} << 4.1;
        QTest::newRow("at 2x the lead may be twice as long")
            << Script{{S::Rate, 2, 0}, {S::Run, 0, 1.0}, {S::Report, 4.0, 1.0}, {S::Read, 0, 2.0}}
            << 4.0 + 2 * PositionClock::kMaxLead;
        QTest::newRow("at 0.5x after 40 ms at 1x")
            << Script{{S::Run, 0, 1.0}, {S::Report, 4.0, 1.0}, {S::Rate, 0.5, 1.04}, {S::Read, 0, 1.1}}
            << 4.0 + 0.04 + 0.03;
    }
    void positionReadings() {
        QFETCH(Script, script);
        QFETCH(double, expected);
        PositionClock clock;
        double read = -1;
        for (const Step& step : script) {
            switch (step.op) {
                case Step::Report:
                    clock.update(step.value, step.now);
                    break;
                case Step::Run:
                    clock.setRunning(true, step.now);
                    break;
                case Step::Halt:
                    clock.setRunning(false, step.now);
                    break;
                case Step::Hold:
                    clock.hold(step.value);
                    break;
                case Step::Landed:
                    clock.seekDone(step.value);
                    break;
                case Step::Length:
                    clock.setDuration(step.value);
                    break;
                case Step::Rate:
                    clock.setRate(step.value, step.now);
                    break;
                case Step::Read:
                    read = clock.read(step.now);
                    break;
            }
        }
        QVERIFY2(std::abs(read - expected) < 1e-9, qPrintable(QStringLiteral("read %1, expected %2")
                                                                  .arg(read, 0, 'g', 12)
                                                                  .arg(expected, 0, 'g', 12)));
    }

    void withoutExtrapolationReadingsAreTheReports() {
        PositionClock clock(false);
        clock.setRunning(true, 1.0);
        clock.update(4.2, 1.0);
        QCOMPARE(clock.read(1.1), 4.2);
    }

    void resetForgetsPositionAndSeek() {
        PositionClock clock;
        clock.update(4.2, 1.0);
        clock.hold(3.0);
        clock.reset();
        QCOMPARE(clock.read(2.0), 0.0);
        QCOMPARE(clock.held(), false);
    }
};

QTEST_MAIN(PlaybackStateTest)
#include "playbackstate_test.moc"
