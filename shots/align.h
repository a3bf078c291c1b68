#pragma once
// Keeping subtitles from flashing across the picture's cuts: a subtitle that starts a few
// frames from a cut starts on it, one that ends a few frames from a cut ends two frames before
// it, as broadcasters' timing rules ask. A pure function over the rows' times; the store step
// is in alignstep.h.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "shots/cuts.h"

namespace tirelle::shots {

struct AlignmentRules {
    int startFrames = 12;   // a start this many frames or fewer from a cut moves onto it
    int endFrames = 12;     // an end this many frames or fewer from a cut (either side) moves...
    int endGapFrames = 2;   // ...to this many frames before it
    double shortest = 0.5;  // seconds: no move leaves a subtitle shorter than this
};

// A subtitle's times in seconds (SubSort, SubSortEnd), in the store's order (by start).
struct TimedRow {
    double start = 0;
    double end = 0;
};

// New times for one row, in whole milliseconds (as a time code holds them).
struct RowTimes {
    std::size_t row = 0;  // index into the rows given
    std::int32_t start = 0;
    std::int32_t end = 0;
    bool startMoved = false;
    bool endMoved = false;
};

struct Alignment {
    std::vector<RowTimes> changes;  // the rows whose times change, in row order
    int startsMoved = 0;
    int endsMoved = 0;
    // Times near a cut left where they were: the move would have left the subtitle shorter
    // than the shortest, or run it into the one before or after.
    int startsKept = 0;
    int endsKept = 0;
};

// The rule over every row. A start moves onto the nearest cut within startFrames; an end moves
// to endGapFrames before the nearest cut within endFrames. A move that shortens a subtitle
// below `shortest`, an end moved later past the next subtitle's start and a start moved earlier
// before the previous subtitle's end are not made. Frames count at cuts.frameRate; times are
// compared in whole milliseconds, a distance within half a millisecond of the limit counting
// as within.
Alignment AlignToCuts(std::span<const TimedRow> rows, const ShotCuts& cuts,
                      const AlignmentRules& rules = {});

}  // namespace tirelle::shots
