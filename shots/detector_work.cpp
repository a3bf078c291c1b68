// The detector's threads: each looks at the stretches it is handed, from a little before to a
// little after, and puts a cut found after left-out frames on its exact frame.

#include "shots/detector_work.h"

#include <cmath>
#include <exception>
#include <utility>

#include "shots/finder.h"

namespace tirelle::shots::detectordetail {

namespace {

// Seconds looked at before and after a stretch, so that the finder judges the cuts near its
// ends with the frames around them, as it would in one pass (it looks a second either way).
constexpr double kLead = 1.5;
constexpr double kTail = 1.5;
// Stretches are at least this long and at most that long (seconds): few, so that the lead,
// the tail and the decoding from the key frame before each cost little, but not so few that a
// thread finishing early waits long for the others on a long film.
constexpr double kShortestStretch = 30;
constexpr double kLongestStretch = 600;
// Looks at one stretch (or, from `from`, at the rest of the file) from where the input stands.
class StretchWork {
public:
    StretchWork(Input& input, Job& job, const StreamFacts& facts, Stretch stretch)
        : input_(input),
          job_(job),
          facts_(facts),
          stretch_(stretch),
          finder_(facts.frameDuration),
          progressAt_(stretch.from) {}

    void run() {
        input_.decode(
            [this](std::optional<std::int64_t> stamp) {
                if (stamp && inside(input_.timeOf(*stamp))) durations_.addStamp(*stamp);
                return true;
            },
            [this](double time, const auto& picture) {
                if (time >= stretch_.to + kTail) return false;
                if (time < stretch_.from - kLead)
                    return !job_.stopped();  // decoded for its references
                if (inside(time)) ++frames_;
                finder_.add(time, picture());
                if (time - progressAt_ >= 1 && time <= stretch_.to) {
                    job_.advance(time - progressAt_);
                    progressAt_ = time;
                }
                return !job_.stopped();
            },
            [this](std::optional<double> time) {
                if (!time) {
                    job_.damagedSomewhere();
                    return;
                }
                if (inside(*time) && (!damage_ || *time < *damage_)) damage_ = time;
            });
        finder_.finish();
        durations_.finish();
        std::vector<double> cuts;
        for (const FoundCut& cut : finder_.cuts()) {
            if (!inside(cut.time)) continue;
            cuts.push_back(cut.gapBefore ? exactly(cut) : cut.time);
        }
        if (std::isfinite(stretch_.to)) job_.advance(stretch_.to - progressAt_);
        job_.report(cuts, durations_, frames_, damage_);
    }

private:
    bool inside(double time) const { return time >= stretch_.from && time < stretch_.to; }

    // A cut found with frames left out just before it: those frames are decoded after all,
    // from the key frame before, and the cut is put where the picture changes most.
    double exactly(const FoundCut& cut) {
        if (job_.stopped() || !input_.seekBefore(cut.timeBefore)) return cut.time;
        input_.decodeAll(true);
        std::vector<std::pair<double, Picture>> frames;
        input_.decode([](std::optional<std::int64_t>) { return true; },
                      [&](double time, const auto& picture) {
                          if (time > cut.time) return false;
                          if (time >= cut.timeBefore) frames.emplace_back(time, picture());
                          return time < cut.time && !job_.stopped();
                      },
                      [](std::optional<double>) {});
        input_.decodeAll(false);
        double best = cut.time;
        double largest = -1;
        for (std::size_t i = 1; i < frames.size(); ++i) {
            const double change = PictureChange(frames[i - 1].second, frames[i].second);
            if (change > largest) {
                largest = change;
                best = frames[i].first;
            }
        }
        return best;
    }

    Input& input_;
    Job& job_;
    const StreamFacts& facts_;
    Stretch stretch_;
    CutFinder finder_;
    FrameDurations durations_;
    std::size_t frames_ = 0;
    std::optional<double> damage_;
    double progressAt_;
};

}  // namespace

void RunWorker(Job& job, const std::string& path, const std::atomic<bool>* cancel,
               const StreamFacts& facts, int decoderThreads, std::unique_ptr<Input> input) {
    try {
        auto open = [&] {
            input = std::make_unique<Input>(path, cancel);
            input->use(facts, decoderThreads);
        };
        if (!input) open();
        bool fresh = true;  // the input stands at the start of the file
        while (const std::optional<Stretch> stretch = job.nextStretch()) {
            const double start = stretch->from - kLead;
            if ((start <= 0 && fresh) || input->seekBefore(start)) {
                StretchWork(*input, job, facts, *stretch).run();
            } else {
                // A file that cannot seek by time: this thread takes its stretch and all that
                // nobody has started, from the start of a fresh opening.
                Stretch mine = *stretch;
                if (const std::optional<Stretch> rest = job.takeRest()) mine.to = rest->to;
                open();
                StretchWork(*input, job, facts, mine).run();
            }
            fresh = false;
        }
    } catch (const Failure& failure) {
        job.fail(failure);
    } catch (const std::exception& error) {
        job.fail({DetectStatus::Failed, error.what()});
    }
}

std::vector<Stretch> PlanStretches(const VideoInfo& info, int threads, bool seekable) {
    if (threads <= 1 || !seekable || info.duration < 2 * kShortestStretch) return {Stretch{}};
    const double length = std::clamp(info.duration / threads, kShortestStretch, kLongestStretch);
    std::vector<Stretch> stretches;
    for (double from = 0; from < info.duration; from += length)
        stretches.push_back(Stretch{from, from + length});
    stretches.back().to = std::numeric_limits<double>::infinity();
    return stretches;
}

}  // namespace tirelle::shots::detectordetail
