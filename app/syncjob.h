#pragma once
// The sync page's work off the GUI thread: the film's speech (from the cache beside the peaks,
// else by decoding the audio, which for a long film takes a while) and the alignment of the
// subtitles to it or to a reference file. One job at a time; a new start or cancel() stops the
// one under way, whose result is then dropped. The result comes back on the GUI thread.

#include <QObject>
#include <QString>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "speech/analysis.h"
#include "sync/align.h"

namespace tirelle::app {

struct SyncInput {
    std::vector<sync::Interval> subtitles;  // the rows' times, read on the GUI thread
    // The reference file's blocks; nothing: the targets are the film's speech.
    std::optional<std::vector<sync::Interval>> reference;
    bool wantSpeech = false;  // the speech is needed (sync to it, or the snap after)
    std::string video;        // the film, for the speech
    std::filesystem::path cacheFolder;
    speech::AnalyseFunction analyse = nullptr;  // nullptr: only the cache is read
    std::string missing;                        // why there is no analysis
    sync::AlignOptions options;
};

struct SyncResult {
    bool ok = false;
    QString message;  // why not, for the user, when !ok
    sync::Alignment alignment;
    speech::SpeechSpans spans;  // when the speech was wanted
};

class SyncJob : public QObject {
    Q_OBJECT
public:
    explicit SyncJob(QObject* parent = nullptr);
    ~SyncJob() override;  // cancels and waits for the worker

    // Starts the work; `done` runs on the GUI thread with the result, unless cancelled first.
    void start(SyncInput input, std::function<void(SyncResult)> done);
    void cancel();
    bool running() const { return running_; }

    // The work itself, on the calling thread; `cancel` stops the decoding.
    static SyncResult Run(const SyncInput& input, const std::atomic<bool>& cancel);

private:
    void join();

    std::thread worker_;
    std::shared_ptr<std::atomic<bool>> cancel_;
    quint64 generation_ = 0;
    bool running_ = false;
};

}  // namespace tirelle::app
