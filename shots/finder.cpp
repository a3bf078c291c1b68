#include "shots/finder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace tirelle::shots {

namespace {

// Seconds on each side of a transition whose changes tell what is usual in this stretch.
constexpr double kAround = 0.5;
// Seconds within which a picture that comes back makes the change a flash, not a cut.
constexpr double kReturnWithin = 0.25;
// A change smaller than this (PictureChange units) is never a cut, however calm the shot.
constexpr double kMinimumChange = 0.2;
// Seconds within which a cut is the largest change.
constexpr double kPeakWithin = 0.15;
// A cut changes the picture this many times more than the changes before it, and this many
// times more than those after it: the first moments of a new shot may be busy (an action that
// begins with it, a pattern settling), and being the largest change nearby already keeps them
// from being cuts themselves.
constexpr double kStandsOut = 1.8;
constexpr double kStandsOutAfter = 1.6;
// A picture comes back when it is this much closer to the one before the change.
constexpr double kReturnShare = 0.7;
// Pictures fainter than this share of the brightest one nearby are a fade's.
constexpr double kFadeShare = 0.5;
// Seconds after a change within which the pictures that follow are compared with the one
// before it, and how many times the change they may have grown to: a change that goes on
// growing is the first step of a dissolve, not a cut.
constexpr double kGoesOnFrom = 0.2;
constexpr double kGoesOnTo = 0.5;
constexpr double kGoesOnShare = 1.8;

}  // namespace

CutFinder::CutFinder(double frameDuration) : frameDuration_(frameDuration) {}

void CutFinder::add(double time, Picture picture) {
    Entry entry;
    entry.time = time;
    if (!entries_.empty()) entry.change = PictureChange(entries_.back().picture, picture);
    entry.picture = std::move(picture);
    entries_.push_back(std::move(entry));
    decideUpTo(time);
}

void CutFinder::finish() {
    while (weighed_ < entries_.size()) weighNext();
    while (decided_ < entries_.size()) decide(decided_++);
}

// A transition is weighed once the frames kAround after it are in, and decided once every
// transition kAround after it is weighed.
void CutFinder::decideUpTo(double time) {
    while (weighed_ < entries_.size() && entries_[weighed_].time + kAround <= time) weighNext();
    while (decided_ < weighed_ && entries_[decided_].time + 2 * kAround <= time) decide(decided_++);
    // What no decision looks at any more goes.
    const double keepFrom =
        decided_ < entries_.size() ? entries_[decided_].time - kAround - frameDuration_ : time;
    while (decided_ > 1 && entries_.front().time < keepFrom) {
        entries_.pop_front();
        --decided_;
        --weighed_;
    }
}

// The largest change within kPeakWithin of the transition is this one.
bool CutFinder::largestNearby(std::size_t at) const {
    for (std::size_t i = 1; i < entries_.size(); ++i)
        if (i != at && std::abs(entries_[i].time - entries_[at].time) <= kPeakWithin &&
            entries_[i].weighed > entries_[at].weighed)
            return false;
    return true;
}

void CutFinder::weighNext() {
    Entry& entry = entries_[weighed_];
    entry.weighed = weighed_ == 0 ? 0 : entry.change * weigh(weighed_);
    ++weighed_;
}

// A change between faint pictures while brighter ones are near is a fade's step: it counts as
// much less as the pictures are fainter.
double CutFinder::weigh(std::size_t at) const {
    const Entry& entry = entries_[at];
    const double own = std::max(entries_[at - 1].picture.contrast(), entry.picture.contrast());
    double brightest = own;
    for (const Entry& other : entries_)
        if (std::abs(other.time - entry.time) <= kAround)
            brightest = std::max(brightest, other.picture.contrast());
    if (brightest <= 0) return 1;
    const double share = std::min(1.0, own / (kFadeShare * brightest));
    return share * share;
}

// What the changes on each side of the transition come to: the larger of the two sides'
// medians (the one after scaled to the lower bar it is held to), so that neither a burst of
// motion on one side nor another cut nearby sets it.
double CutFinder::baseline(std::size_t at) {
    std::vector<double> before;
    std::vector<double> after;
    for (std::size_t i = 1; i < entries_.size(); ++i) {
        if (i == at || std::abs(entries_[i].time - entries_[at].time) > kAround) continue;
        (i < at ? before : after).push_back(entries_[i].weighed);
    }
    auto median = [](std::vector<double>& values) {
        if (values.empty()) return 0.0;
        const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
        std::nth_element(values.begin(), middle, values.end());
        return *middle;
    };
    return std::max(median(before), median(after) * kStandsOutAfter / kStandsOut);
}

// The picture before the change is back soon after it, or the picture after it was there
// shortly before: a flash or a moment of interference, not a new shot.
bool CutFinder::pictureReturns(std::size_t at, double change) const {
    const Picture& before = entries_[at - 1].picture;
    const Picture& after = entries_[at].picture;
    const double time = entries_[at].time;
    for (std::size_t i = at + 1; i < entries_.size() && entries_[i].time - time <= kReturnWithin;
         ++i)
        if (PictureChange(before, entries_[i].picture) < kReturnShare * change) return true;
    for (std::size_t i = at - 1;
         i-- > 0 && entries_[at - 1].time - entries_[i].time <= kReturnWithin;)
        if (PictureChange(entries_[i].picture, after) < kReturnShare * change) return true;
    return false;
}

// The pictures after the change go on moving away from the one before it, far beyond the
// change itself: a gradual transition.
bool CutFinder::changeGoesOn(std::size_t at, double change) const {
    const Picture& before = entries_[at - 1].picture;
    const double time = entries_[at].time;
    for (std::size_t i = at + 1; i < entries_.size() && entries_[i].time - time <= kGoesOnTo; ++i)
        if (entries_[i].time - time >= kGoesOnFrom &&
            PictureChange(before, entries_[i].picture) > kGoesOnShare * change)
            return true;
    return false;
}

void CutFinder::decide(std::size_t at) {
    if (at == 0) return;  // the first frame begins the first shot
    const Entry& entry = entries_[at];
    const double change = entry.weighed;
    const double usual = baseline(at);
    const bool cut = change >= kMinimumChange && change >= kStandsOut * usual &&
                     largestNearby(at) && !pictureReturns(at, entry.change) &&
                     !changeGoesOn(at, entry.change);
    if (cut) {
        FoundCut found;
        found.time = entry.time;
        found.timeBefore = entries_[at - 1].time;
        found.gapBefore = entry.time - found.timeBefore > 1.5 * frameDuration_;
        cuts_.push_back(found);
    }
}

}  // namespace tirelle::shots
