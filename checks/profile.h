#pragma once
// The named rule sets a subtitle is checked against, and the frame rate their least gap is
// counted in.

#include <span>
#include <string_view>

namespace tirelle::checks {

// How the characters of a line count.
enum class Counting {
    // A character of East Asian Width W or F counts 1, every other 0.5 (the Chinese profiles).
    EastAsianWidth,
    // Every character counts 1 (the English profile).
    EveryCharacter,
};

struct Profile {
    std::string_view name;  // as the command line and the window name it: "netflix-zh"
    Counting counting;
    int charactersPerLine;  // the most a line may hold
    int lines;              // the most lines a subtitle may have
    double shortest;        // seconds: a subtitle shorter than this is "short"
    double longest;         // seconds: one longer than this is "long"
    double readingSpeed;    // characters per second, the most allowed
    int leastGapFrames;     // frames that must lie between a subtitle's end and the next start
};

// netflix-zh, netflix-en and fansub, in this order.
std::span<const Profile> Profiles();
// The profile of that name (exactly, case counts); nullptr when there is none.
const Profile* FindProfile(std::string_view name);
// fansub.
const Profile& DefaultProfile();
// The names of every profile, joined with ", " (for messages).
std::string_view ProfileNames();

// Frames per second when no video gives its own.
inline constexpr double kDefaultFrameRate = 23.976;

// What a check is run with.
struct CheckSettings {
    Profile profile = DefaultProfile();
    double frameRate = kDefaultFrameRate;  // frames per second of the video

    // frameRate, or the default when it is not a positive number (a video that does not tell).
    double countedFrameRate() const { return frameRate > 0 ? frameRate : kDefaultFrameRate; }
    // The least gap in seconds.
    double leastGap() const { return profile.leastGapFrames / countedFrameRate(); }
};

}  // namespace tirelle::checks
