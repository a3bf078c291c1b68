#include "app/waveform/wavestrip.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

#include "shots/cuts.h"
#include "speech/snap.h"

namespace tirelle::app {

using waveform::kBinsPerSecond;
using waveform::Peak;

namespace {

// The position stands this far into the window from its left edge.
constexpr double kLead = 0.3;
constexpr int kTextTop = 2;

const QColor kBackground(28, 28, 28);
const QColor kWave(96, 200, 160);
const QColor kSpanFill(70, 110, 210, 80);
const QColor kSpanEdge(120, 160, 255);
const QColor kGrabbed(255, 200, 60);
const QColor kPosition(255, 255, 255);
const QColor kStartMark(80, 220, 80);
const QColor kEndMark(240, 80, 80);
const QColor kTicks(110, 110, 110);
const QColor kLabelGround(20, 30, 60, 200);
const QColor kSpeech(250, 190, 60, 210);
const QColor kCut(230, 110, 230, 190);

QString clockText(double seconds, double step) {
    const auto whole = static_cast<long long>(std::floor(seconds + 1e-9));
    QString text = QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
    if (step < 1) text += QStringLiteral(".%1").arg(static_cast<int>(std::lround((seconds - whole) * 10)) % 10);
    return text;
}

}  // namespace

WaveStrip::WaveStrip(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("WaveStrip"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    frames_.setInterval(16);
    frames_.setTimerType(Qt::PreciseTimer);
    connect(&frames_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

QSize WaveStrip::sizeHint() const {
    return {400, 90};
}

void WaveStrip::setPlaying(bool playing) {
    if (playing && !frames_.isActive())
        frames_.start();
    else if (!playing)
        frames_.stop();
    update();
}

void WaveStrip::resetView() {
    span_ = kDefaultSpan;
    offset_ = 0;
    update();
}

double WaveStrip::viewStart() const {
    const double position = source_.position ? source_.position() : 0;
    return position - span_ * kLead + offset_;
}

double WaveStrip::timeAt(double x) const {
    return viewStart() + x * span_ / std::max(1, width());
}

double WaveStrip::xAt(double seconds) const {
    return (seconds - viewStart()) * std::max(1, width()) / span_;
}

// --- painting

void WaveStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    const double from = viewStart();
    const double to = from + span_;

    // Ticks along the top: a step that leaves room for a label.
    static constexpr double kSteps[] = {0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300};
    double step = kSteps[std::size(kSteps) - 1];
    for (double candidate : kSteps)
        if (candidate * width() / span_ >= 56) {
            step = candidate;
            break;
        }
    painter.setPen(kTicks);
    QFont small = font();
    small.setPixelSize(10);
    painter.setFont(small);
    for (double t = std::ceil(from / step) * step; t < to; t += step) {
        if (t < 0) continue;
        const int x = static_cast<int>(std::lround(xAt(t)));
        painter.drawLine(x, 0, x, 4);
        painter.drawText(x + 2, 11, clockText(t, step));
    }

    // The subtitles are asked for once per frame.
    std::vector<Span> spans;
    if (source_.spans) source_.spans(from, to, [&](const Span& span) { spans.push_back(span); });
    paintSpans(painter, spans, false);
    paintPeaks(painter, from);
    paintSpeech(painter, from);
    paintCuts(painter, from);
    paintSpans(painter, spans, true);
    paintMarks(painter);

    // The playback position.
    const double position = source_.position ? source_.position() : 0;
    const int x = static_cast<int>(std::lround(xAt(position)));
    painter.setPen(QPen(kPosition, 1));
    painter.drawLine(x, 0, x, height());
}

void WaveStrip::paintPeaks(QPainter& painter, double from) const {
    if (!peaks_ || peaks_->empty()) return;
    const std::vector<Peak>& peaks = *peaks_;
    const int w = width();
    const double mid = height() / 2.0;
    const double scale = (height() / 2.0 - 1) / 32768.0;
    const double binsPerPixel = span_ * kBinsPerSecond / std::max(1, w);
    const double firstBin = from * kBinsPerSecond;
    QVector<QLineF> lines;
    lines.reserve(w);
    for (int x = 0; x < w; ++x) {
        const double b0 = firstBin + x * binsPerPixel;
        const double b1 = b0 + binsPerPixel;
        if (b1 <= 0) continue;
        const auto begin = static_cast<std::size_t>(std::max(0.0, std::floor(b0)));
        auto end = static_cast<std::size_t>(std::max(0.0, std::floor(b1)));
        end = std::min(std::max(end, begin + 1), peaks.size());
        if (begin >= end) break;
        int low = std::numeric_limits<int>::max(), high = std::numeric_limits<int>::min();
        for (std::size_t b = begin; b < end; ++b) {
            if (!peaks[b].known()) continue;
            low = std::min<int>(low, peaks[b].min);
            high = std::max<int>(high, peaks[b].max);
        }
        if (low > high) continue;
        // At least one pixel, so silence shows as a line.
        lines.append(QLineF(x + 0.5, mid - high * scale - 0.5, x + 0.5, mid - low * scale + 0.5));
    }
    painter.setPen(QPen(kWave, 1));
    painter.drawLines(lines);
}

void WaveStrip::paintSpeech(QPainter& painter, double from) const {
    if (!speech_ || speech_->empty()) return;
    const double to = from + span_;
    const int band = std::max(3, height() / 12);
    // The first span that ends after the left edge; spans do not overlap, so ends ascend too.
    auto at = std::lower_bound(speech_->begin(), speech_->end(), from,
                               [](const speech::SpeechSpan& span, double t) { return span.end < t; });
    double drawnTo = -1;  // pixel column filled up to, so a zoomed-out view paints each once
    for (; at != speech_->end() && at->start <= to; ++at) {
        const double left = std::max(xAt(at->start), drawnTo);
        const double right = std::max(xAt(at->end), left + 1);  // at least a pixel at any zoom
        if (right <= drawnTo) continue;
        painter.fillRect(QRectF(left, height() - band, right - left, band), kSpeech);
        drawnTo = right;
    }
}

void WaveStrip::paintCuts(QPainter& painter, double from) const {
    if (!cuts_ || cuts_->empty()) return;
    const double to = from + span_;
    painter.setPen(QPen(kCut, 1));
    int last = std::numeric_limits<int>::min();
    for (auto at = std::lower_bound(cuts_->begin(), cuts_->end(), from); at != cuts_->end() && *at <= to; ++at) {
        const int x = static_cast<int>(std::lround(xAt(*at)));
        if (x == last) continue;
        painter.drawLine(x, 0, x, height());
        last = x;
    }
}

void WaveStrip::paintSpans(QPainter& painter, const std::vector<Span>& spans, bool labels) const {
    const QFontMetrics metrics(painter.font());
    const int h = height();
    for (Span span : spans) {
        const bool grabbed = dragging_ && grip_ && grip_->aid == span.aid;
        if (grabbed) (grip_->end ? span.end : span.start) = dragTo_;
        const double left = xAt(span.start), right = xAt(span.end);
        if (!labels) {
            painter.fillRect(QRectF(left, 0, std::max(1.0, right - left), h), kSpanFill);
            continue;
        }
        painter.setPen(QPen(grabbed ? kGrabbed : kSpanEdge, 1));
        painter.drawLine(QPointF(left, 0), QPointF(left, h));
        painter.drawLine(QPointF(right, 0), QPointF(right, h));
        const int room = static_cast<int>(right - std::max(left, 0.0)) - 6;
        if (room > 12) {
            // On a dark ground of its own, so the waveform does not hide it.
            const QString line = metrics.elidedText(span.text.section(QLatin1Char('\n'), 0, 0), Qt::ElideRight, room);
            const QRectF box(std::max(left, 0.0) + 2, kTextTop + 11, metrics.horizontalAdvance(line) + 4,
                             metrics.height());
            painter.fillRect(box, kLabelGround);
            painter.setPen(Qt::white);
            painter.drawText(box.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, line);
        }
    }
}

void WaveStrip::paintMarks(QPainter& painter) const {
    if (!source_.marks) return;
    const auto [start, end] = source_.marks();
    auto mark = [&](double seconds, const QColor& colour, bool opening) {
        if (!std::isfinite(seconds)) return;
        const double x = xAt(seconds);
        if (x < -4 || x > width() + 4) return;
        painter.setPen(QPen(colour, 2));
        painter.drawLine(QPointF(x, 0), QPointF(x, height()));
        // A bracket foot tells start from end at a glance.
        const double foot = opening ? 5 : -5;
        painter.drawLine(QPointF(x, height() - 1), QPointF(x + foot, height() - 1));
        painter.drawLine(QPointF(x, 1), QPointF(x + foot, 1));
    };
    mark(start, kStartMark, true);
    mark(end, kEndMark, false);
}

// --- mouse

std::optional<WaveStrip::Grip> WaveStrip::gripAt(double x) const {
    if (!source_.spans) return std::nullopt;
    const double slack = kEdgeGrip * span_ / std::max(1, width());
    const double t = timeAt(x);
    std::optional<Grip> best;
    double bestDistance = kEdgeGrip + 1;
    source_.spans(t - slack, t + slack, [&](const Span& span) {
        for (bool end : {false, true}) {
            const double distance = std::abs(xAt(end ? span.end : span.start) - x);
            if (distance <= kEdgeGrip && distance < bestDistance) {
                bestDistance = distance;
                best = Grip{span.aid, end, span.start, span.end};
            }
        }
    });
    return best;
}

void WaveStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    pressed_ = true;
    dragging_ = false;
    pressX_ = event->position().x();
    grip_ = gripAt(pressX_);
    dragTo_ = grip_ ? (grip_->end ? grip_->stop : grip_->start) : 0;
}

void WaveStrip::mouseMoveEvent(QMouseEvent* event) {
    const double x = event->position().x();
    if (!pressed_) {
        setCursor(gripAt(x) ? Qt::SizeHorCursor : Qt::ArrowCursor);
        return;
    }
    if (!grip_) return;
    if (!dragging_ && std::abs(x - pressX_) < 3) return;  // still a click
    dragging_ = true;
    // A start never passes its end, nor an end its start.
    double t = std::max(0.0, timeAt(x));
    if (!(event->modifiers() & Qt::ShiftModifier)) t = snapDragged(t, grip_->end);
    t = grip_->end ? std::max(t, grip_->start) : std::min(t, grip_->stop);
    dragTo_ = t;
    update();
}

double WaveStrip::snapDragged(double seconds, bool end) const {
    const double within = kSnapPixels * span_ / std::max(1, width());
    std::optional<double> best;
    if (speech_)
        best = speech::NearestEdge(*speech_, seconds, end ? speech::Edge::Offset : speech::Edge::Onset, within);
    if (cuts_)
        if (const auto cut = shots::NearestCut(*cuts_, seconds, within))
            if (!best || std::abs(*cut - seconds) < std::abs(*best - seconds)) best = cut;
    return best.value_or(seconds);
}

void WaveStrip::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) return QWidget::mouseReleaseEvent(event);
    pressed_ = false;
    if (dragging_) {
        dragging_ = false;
        const Grip grip = *grip_;
        grip_.reset();
        update();
        if (dragTo_ != (grip.end ? grip.stop : grip.start)) emit edgeDragged(grip.aid, grip.end, dragTo_);
        return;
    }
    grip_.reset();
    const double t = std::max(0.0, timeAt(event->position().x()));
    offset_ = 0;  // the view follows the position again, from where it now stands
    emit seekRequested(t);
    update();
}

void WaveStrip::leaveEvent(QEvent*) {
    if (!pressed_) unsetCursor();
}

void WaveStrip::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0) return;
    if (event->modifiers() & Qt::ControlModifier) {
        // Zoom around the mouse: the time under it stays under it.
        const double x = event->position().x();
        const double anchor = timeAt(x);
        span_ = std::clamp(span_ * std::pow(1.25, -notches), kMinSpan, kMaxSpan);
        offset_ += anchor - timeAt(x);
    } else {
        offset_ -= notches * span_ * 0.1;  // up scrolls back in time
    }
    event->accept();
    update();
}

// --- the handle

StripHandle::StripHandle(QWidget* strip, QWidget* parent) : QWidget(parent), strip_(strip) {
    setObjectName(QStringLiteral("WaveStripHandle"));
    setCursor(Qt::SplitVCursor);
    setFixedHeight(5);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void StripHandle::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    pressY_ = event->globalPosition().y();
    pressHeight_ = strip_->height();
}

void StripHandle::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    // The handle stands above the strip: dragging it up makes the strip taller.
    const int height = std::clamp(pressHeight_ - static_cast<int>(event->globalPosition().y() - pressY_), min_, max_);
    if (height == strip_->height()) return;
    strip_->setFixedHeight(height);
    emit moved();
}

void StripHandle::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
}

}  // namespace tirelle::app
