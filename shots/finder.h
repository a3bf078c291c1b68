#pragma once
// Finds the shot changes in a stream of small pictures (picture.h), one per decoded frame in
// the order they are shown. A change between two frames is a cut when it stands out from the
// changes before and after it (motion, a pan, grain change every frame alike), is the largest
// change nearby, is not a fade's step (faint pictures changing while the pictures around are
// bright), is not undone a moment later (a flash, a frame of interference) and does not go on
// growing over the next frames (the first step of a dissolve).
//
// The finder keeps the pictures of about two seconds of frames, whatever the film's length.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "shots/picture.h"

namespace tirelle::shots {

// Raised whenever the finder or the picture measure changes what they find, so that cut lists
// cached by an earlier version are found again.
inline constexpr std::uint32_t kFinderVersion = 1;

struct FoundCut {
    double time = 0;        // seconds: the first frame of the new shot
    double timeBefore = 0;  // seconds: the frame shown before it that the finder was given
    // True when frames were left out between the two (a decoder that skips frames nothing
    // refers to): the cut then lies somewhere after timeBefore, up to and including time.
    bool gapBefore = false;
};

class CutFinder {
public:
    // `frameDuration`: seconds from one frame to the next (1 / the frame rate), > 0.
    explicit CutFinder(double frameDuration);

    // The next frame in display order: its time in seconds (later than the one before).
    void add(double time, Picture picture);
    // Every frame was given: the last ones are decided too.
    void finish();

    const std::vector<FoundCut>& cuts() const { return cuts_; }

private:
    struct Entry {
        double time = 0;
        Picture picture;
        double change = 0;   // from the entry before, unweighed
        double weighed = 0;  // change after the fade weighing
    };

    void decideUpTo(double time);
    void decide(std::size_t at);
    double weigh(std::size_t at) const;
    double baseline(std::size_t at);
    bool largestNearby(std::size_t at) const;
    bool pictureReturns(std::size_t at, double change) const;
    bool changeGoesOn(std::size_t at, double change) const;
    void weighNext();

    double frameDuration_;
    std::deque<Entry> entries_;  // the frames still needed, oldest first
    std::size_t weighed_ = 0;    // entries_[weighed_] is the next transition to weigh
    std::size_t decided_ = 0;    // entries_[decided_] is the next transition to decide
    std::vector<FoundCut> cuts_;
};

}  // namespace tirelle::shots
