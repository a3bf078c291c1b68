#pragma once
// The waveform strip under the video: the audio's peaks in a window of about 10 s around the
// playback position, the speech found in the audio as a band along the bottom, the picture's
// cuts as thin lines, the position as a line, every subtitle as a shaded span with the start of
// its text, and the capture boxes' start and end as markers.
//
// Mouse: a click seeks; dragging a span's left or right edge retimes that subtitle's start or
// end (the span follows the mouse, and the new time is asked for when the button is let go); a
// dragged start within kSnapPixels of a speech onset or a cut, and a dragged end within them of
// a speech offset or a cut, lands on the nearest of them unless Shift is held; the wheel
// scrolls the window; Ctrl+wheel zooms it around the mouse.
//
// The strip reads what it shows through the callbacks of its Source when it paints, and keeps
// nothing of the subtitles; it repaints about 60 times a second while playing, and otherwise
// when told that something changed.

#include <QWidget>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <vector>

#include "speech/spans.h"
#include "waveform/peaks.h"

namespace tirelle::app {

class WaveStrip : public QWidget {
    Q_OBJECT
public:
    struct Span {
        std::int64_t aid = 0;
        double start = 0;  // seconds
        double end = 0;
        QString text;      // first line shown
    };
    struct Source {
        std::function<double()> position;  // playback position, seconds
        // The subtitles that overlap [from, to], seconds.
        std::function<void(double from, double to, const std::function<void(const Span&)>& visit)> spans;
        // The capture boxes' start and end, seconds; NaN for a box without a time.
        std::function<std::pair<double, double>()> marks;
    };

    static constexpr double kDefaultSpan = 10;  // seconds shown
    static constexpr double kMinSpan = 1;
    static constexpr double kMaxSpan = 600;
    static constexpr int kEdgeGrip = 4;         // pixels either side of an edge that grab it
    static constexpr int kSnapPixels = 6;       // a dragged edge this near a speech edge or cut lands on it

    explicit WaveStrip(QWidget* parent = nullptr);

    void setSource(Source source) { source_ = std::move(source); }
    // The peaks to draw (owned by the caller, who calls update() when they change).
    void setPeaks(const std::vector<waveform::Peak>* peaks) { peaks_ = peaks; update(); }
    // The speech spans (sorted) and the cut times (ascending, seconds) to draw and snap to;
    // owned by the caller, who calls update() when they change. Null: none.
    void setSpeech(const speech::SpeechSpans* spans) { speech_ = spans; update(); }
    void setCuts(const std::vector<double>* cuts) { cuts_ = cuts; update(); }
    // Where an edge dragged to `seconds` lands: the nearest speech edge of its kind (an onset
    // for a start, an offset for an end) or cut within kSnapPixels, else `seconds`.
    double snapDragged(double seconds, bool end) const;
    void setPlaying(bool playing);
    // Back to the default window, following the position.
    void resetView();

    double span() const { return span_; }
    // The time shown at the left edge, and at x.
    double viewStart() const;
    double timeAt(double x) const;
    double xAt(double seconds) const;

signals:
    void seekRequested(double seconds);
    // A span's start (end == false) or end was dragged to `seconds`.
    void edgeDragged(qint64 aid, bool end, double seconds);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    QSize sizeHint() const override;

private:
    struct Grip {
        std::int64_t aid = 0;
        bool end = false;
        double start = 0, stop = 0;  // the span's times when grabbed
    };
    // The edge under x, if any (the nearest within kEdgeGrip pixels).
    std::optional<Grip> gripAt(double x) const;
    void paintPeaks(QPainter& painter, double from) const;
    // Shaded areas (labels false), or edges and texts over the waveform (labels true).
    void paintSpans(QPainter& painter, const std::vector<Span>& spans, bool labels) const;
    void paintMarks(QPainter& painter) const;
    void paintSpeech(QPainter& painter, double from) const;
    void paintCuts(QPainter& painter, double from) const;

    Source source_;
    const std::vector<waveform::Peak>* peaks_ = nullptr;
    const speech::SpeechSpans* speech_ = nullptr;
    const std::vector<double>* cuts_ = nullptr;
    double span_ = kDefaultSpan;
    double offset_ = 0;  // seconds the view is scrolled from where it follows the position
    QTimer frames_;
    // Mouse: a press that may become a click or an edge drag.
    bool pressed_ = false;
    double pressX_ = 0;
    std::optional<Grip> grip_;
    double dragTo_ = 0;
    bool dragging_ = false;
};

// A thin bar above the strip; dragging it changes the strip's height. Emits moved() when the
// height changed.
class StripHandle : public QWidget {
    Q_OBJECT
public:
    StripHandle(QWidget* strip, QWidget* parent = nullptr);
    void setLimits(int minimum, int maximum) { min_ = minimum; max_ = maximum; }

signals:
    void moved();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QWidget* strip_;
    int min_ = 30, max_ = 400;
    bool dragging_ = false;
    double pressY_ = 0;
    int pressHeight_ = 0;
};

}  // namespace tirelle::app
