// The waveform strip under the video and the status bar: peaks of the opened video's audio,
// a click in the strip to seek, a span's edge dragged to retime its subtitle.

#include <QBoxLayout>
#include <QEvent>
#include <QLineEdit>
#include <QMetaObject>
#include <QStatusBar>
#include <algorithm>
#include <cmath>
#include <limits>

#include "app/srtform.h"
#include "app/ui/scaling.h"
#include "app/ui/textcodec.h"
#include "app/waveform/cutloader.h"
#include "app/waveform/peakloader.h"
#include "app/waveform/wavestrip.h"
#include "playback/player.h"
#include "base/text.h"
#include "base/timecode.h"
#include "waveform/peakcache.h"

namespace tirelle::app {

namespace {

// Repaints the strip whenever the subtitles change (an edit, a post, a requery), and finds the
// subtitles in a stretch of time without reading every row, through the rows' spans ordered by
// start, made again on first use after a change.
class StripRows : public store::DatasetObserver {
public:
    StripRows(const store::Dataset& sub, QWidget* strip) : sub_(sub), strip_(strip) {}
    void datasetChanged() override { changed(); }
    void currentChanged(bool) override {}
    void rowChanged(int) override { changed(); }
    void stateChanged() override { changed(); }

    // Every subtitle showing between `from` and `to`, in row order.
    void visit(double from, double to, const std::function<void(const WaveStrip::Span&)>& visit) {
        if (!sub_.active()) return;
        if (stale_) index();
        // A span reaching `from` starts no earlier than `from` less the longest span (less a
        // second for rounding).
        auto at =
            std::lower_bound(spans_.begin(), spans_.end(), from - longest_ - 1,
                             [](const Entry& entry, double time) { return entry.start < time; });
        found_.clear();
        for (; at != spans_.end() && at->start <= to; ++at)
            if (at->end >= from) found_.push_back(at->row);
        std::sort(found_.begin(), found_.end());
        // The rows are read again, so a change not told yet (with the list's updates suspended)
        // can hide a span for a moment but never show a wrong one.
        const int inserting = sub_.insertRow();
        for (const int row : found_) {
            // Gone, or not a subtitle yet.
            if (row >= sub_.rowCount() || row == inserting) continue;
            const store::SubRecord& record = sub_.rowAt(row);
            if (record.SubSortEnd < record.SubSort || record.SubSortEnd < from ||
                record.SubSort > to)
                continue;
            visit({record.aid, record.SubSort, record.SubSortEnd, ui::toDisplay(record.SubText)});
        }
    }

private:
    struct Entry {
        double start;
        double end;
        int row;
    };
    void changed() {
        stale_ = true;
        strip_->update();
    }
    void index() {
        spans_.clear();
        longest_ = 0;
        const int inserting = sub_.insertRow();
        for (int row = 0; row < sub_.rowCount(); ++row) {
            const store::SubRecord& record = sub_.rowAt(row);
            // Never shown: a row being inserted, or one ending before it starts.
            if (row == inserting || !(record.SubSortEnd >= record.SubSort)) continue;
            spans_.push_back({record.SubSort, record.SubSortEnd, row});
            longest_ = std::max(longest_, record.SubSortEnd - record.SubSort);
        }
        std::sort(spans_.begin(), spans_.end(),
                  [](const Entry& a, const Entry& b) { return a.start < b.start; });
        stale_ = false;
    }

    const store::Dataset& sub_;
    QWidget* strip_;
    std::vector<Entry> spans_;
    double longest_ = 0;
    bool stale_ = true;
    std::vector<int> found_;
};

// Seconds of a time box; NaN for a box without text.
double boxTime(const QLineEdit* box) {
    const std::string text = Trim(ui::fromQString(box->text()));
    return text.empty() ? std::numeric_limits<double>::quiet_NaN() : TimeToSeconds(text);
}

}  // namespace

void TSrtForm::buildWaveStrip() {
    // Between the video pane and the splitter above the lower panel; hidden until a video with
    // audio is open, so the specified layout stands as it is until then.
    auto* column = static_cast<QBoxLayout*>(Panel2->layout());
    WaveStrip1 = new WaveStrip(Panel2);
    WaveStrip1->setFixedHeight(ui::scaled(90));
    WaveHandle = new StripHandle(WaveStrip1, Panel2);
    WaveHandle->setLimits(ui::scaled(30), ui::scaled(400));
    column->insertWidget(column->indexOf(Panel4) + 1, WaveHandle);
    column->insertWidget(column->indexOf(WaveHandle) + 1, WaveStrip1);
    WaveHandle->hide();
    WaveStrip1->hide();

    WaveStrip::Source source;
    source.position = [this] { return WMP1->currentPosition(); };
    auto rows = std::make_unique<StripRows>(Sub, WaveStrip1);
    source.spans = [rows = rows.get()](double from, double to,
                                       const std::function<void(const WaveStrip::Span&)>& visit) {
        rows->visit(from, to, visit);
    };
    source.marks = [this] { return std::pair{boxTime(Edit1), boxTime(Edit2)}; };
    WaveStrip1->setSource(std::move(source));

    Peaks = new PeakLoader(waveform::DefaultCacheFolder(), 0, this);
    WaveStrip1->setPeaks(&Peaks->peaks());
    stripRows_ = std::move(rows);
    Sub.addObserver(stripRows_.get());

    connect(Peaks, &PeakLoader::stateChanged, this, [this] {
        if (!closed_) ui::guarded([this] { PeaksStateChange(); });
    });
    connect(Peaks, &PeakLoader::peaksArrived, this, [this] {
        if (!closed_) ui::guarded([this] { PeaksArrived(); });
    });
    connect(WaveStrip1, &WaveStrip::seekRequested, this, [this](double seconds) {
        if (!closed_) ui::guarded([&] { WaveStrip1Seek(seconds); });
    });
    connect(WaveStrip1, &WaveStrip::edgeDragged, this, [this](qint64 aid, bool end, double seconds) {
        if (!closed_) ui::guarded([&] { WaveStrip1EdgeDragged(aid, end, seconds); });
    });
    connect(WaveHandle, &StripHandle::moved, this, [this] {
        if (!closed_) ui::guarded([this] { FitPlayer(); });
    });
    // The strip moves on by itself while playing; it only needs to hear of the rest.
    connect(WMP1, &playback::Player::PlayStateChange, WaveStrip1,
            [this](playback::PlayState state) {
                WaveStrip1->setPlaying(state == playback::Playing);
            });
    connect(WMP1, &playback::Player::PositionChange, WaveStrip1, qOverload<>(&QWidget::update));
    connect(Edit1, &QLineEdit::textChanged, WaveStrip1, qOverload<>(&QWidget::update));
    connect(Edit2, &QLineEdit::textChanged, WaveStrip1, qOverload<>(&QWidget::update));
}

void TSrtForm::LoadWaveform(const QString& path) {
    shownPercent_ = -1;
    WaveStrip1->resetView();
    Peaks->load(path);
    Cuts->load(path);
}

void TSrtForm::PeaksStateChange() {
    stripWanted_ = Peaks->hasAudio() && (Peaks->state() == PeakLoader::State::Loading ||
                                         Peaks->state() == PeakLoader::State::Ready ||
                                         Peaks->state() == PeakLoader::State::Cancelled);
    showWaveStrip();
    switch (Peaks->state()) {
        case PeakLoader::State::Idle:
            break;
        case PeakLoader::State::Loading:
            if (!Peaks->hasAudio()) ShowStatus(QStringLiteral("正在读取音频…"));
            break;
        case PeakLoader::State::Ready:
            ShowStatus(Peaks->fromCache() ? QStringLiteral("音频波形取自缓存") : QStringLiteral("音频波形已读完"),
                       4000);
            break;
        case PeakLoader::State::NoAudio:
            ShowStatus(QStringLiteral("此视频没有音轨，不显示波形"));
            break;
        case PeakLoader::State::Failed:
            ShowStatus(QStringLiteral("无法读取此视频的音频，不显示波形：%1").arg(Peaks->message()));
            break;
        case PeakLoader::State::Cancelled:
            ShowStatus(QStringLiteral("已停止读取音频"));
            break;
    }
    WaveStrip1->update();
}

void TSrtForm::showWaveStrip() {
    // The player's full screen hides everything beside the video and shows it again when it
    // ends, so the strip waits until then (see changeEvent). A window made to fill the screen
    // otherwise hides nothing, and the strip shows there as anywhere.
    if (isFullScreen() && Panel3->isHidden()) return;
    if (WaveStrip1->isHidden() != stripWanted_) return;  // as wanted already
    WaveHandle->setVisible(stripWanted_);
    WaveStrip1->setVisible(stripWanted_);
    Panel2->layout()->activate();
    FitPlayer();  // the video pane changed height
}

void TSrtForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Out of full screen: once the player has shown again what it hid, which it does after
    // this event, the strip is shown or hidden as it is now wanted.
    if (event->type() != QEvent::WindowStateChange || isFullScreen() || !WaveStrip1) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!closed_) ui::guarded([this] { showWaveStrip(); });
        },
        Qt::QueuedConnection);
}

void TSrtForm::PeaksArrived() {
    WaveStrip1->update();
    if (Peaks->state() != PeakLoader::State::Loading) return;
    const int percent = static_cast<int>(Peaks->progress() * 100);
    if (percent == shownPercent_) return;
    shownPercent_ = percent;
    ShowStatus(QStringLiteral("正在读取音频波形… %1%").arg(percent));
}

void TSrtForm::WaveStrip1Seek(double seconds) {
    // The player reports the seek, and its position-change handler resynchronises the preview.
    WMP1->setCurrentPosition(seconds);
}

void TSrtForm::WaveStrip1EdgeDragged(std::int64_t aid, bool end, double seconds) {
    PostEdgeTime(aid, end, seconds);
}

void TSrtForm::PostEdgeTime(std::int64_t aid, bool end, double seconds) {
    if (!Sub.locate("aid", aid)) return;
    Sub.edit();
    // The nearest whole millisecond: a drag means the place where it was let go.
    const auto milliseconds = static_cast<std::int32_t>(std::clamp(std::llround(seconds * 1000), 0LL, 2147483647LL));
    Sub.fieldByName(end ? "ETime" : "STime").setAsString(MillisecondsToTime(milliseconds));
    Sub.post();  // derives the seconds from the texts, as for every post
}

}  // namespace tirelle::app
