#pragma once
// Gets the peaks of a video's audio for the waveform strip, and the speech spans found in the
// same decoding, without blocking the GUI thread on the file: from the on-disk caches when the
// file is known there, else by decoding it on a worker thread, with the peaks handed over as
// they come and the spans at the end. Opening another file, or cancel(), stops the work on the
// old one at once; its results are dropped even if some are still on their way.
//
// The analysis (and the plain decoder, used when the analysis is missing) is in the media
// module (playback/mediamodule.h), looked up by load(), which loads the module if the player
// has not loaded it yet for the same video.
//
// All member functions and signals belong to the GUI thread. The worker threads of cancelled
// loads are joined later (when they have finished, or in the destructor), never while the user
// waits.

#include <QObject>
#include <QString>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/waveform/workers.h"
#include "speech/spans.h"
#include "waveform/peaks.h"

namespace tirelle::app {

class PeakLoader : public QObject {
    Q_OBJECT
public:
    enum class State {
        Idle,     // no file
        Loading,  // decoding; peaks() fills in
        Ready,    // every peak the file gives there (decoded or from the cache)
        NoAudio,  // the file has no audio stream
        Failed,   // the file or its audio cannot be read, or the decoder cannot be loaded;
                  // message() says why
        Cancelled,  // stopped by cancel(): the peaks decoded until then stay, nothing cached
    };
    enum class Speech {
        Idle,       // no file
        Detecting,  // on its way with the peaks
        Found,      // speechSpans() holds what was found (of the whole audio, or of what could
                    // be decoded: speechMessage() then says so)
        NoSpeech,   // the audio was read to its end and nobody speaks in it
        Unavailable,  // no audio, the audio cannot be read, the detector cannot be loaded, or
                      // cancelled; speechMessage() says why
    };

    // `cacheFolder` empty: no cache. `threads` 0: as many as the decoder likes.
    explicit PeakLoader(std::filesystem::path cacheFolder, int threads = 0, QObject* parent = nullptr);
    ~PeakLoader() override;

    // Starts on the file at `path`; the old work is cancelled and its peaks are gone.
    void load(const QString& path);
    // Back to Idle, nothing loaded.
    void clear();
    // Stops a load on its way: Cancelled, with the peaks it has; nothing when none is.
    void cancel();

    State state() const { return state_; }
    QString message() const { return message_; }
    bool fromCache() const { return fromCache_; }
    // The file's audio stream was found (peaks may still be on their way).
    bool hasAudio() const { return audio_; }
    // Share decoded so far, 0 to 1 (1 when Ready).
    double progress() const;
    // Bins of 10 ms; a bin not decoded yet is unknown (see Peak).
    const std::vector<waveform::Peak>& peaks() const { return peaks_; }
    // The audio's length in seconds, 0 while unknown.
    double duration() const { return duration_; }

    Speech speech() const { return speech_; }
    // Why speech is Unavailable, or what is missing of a Found; empty otherwise. Chinese, for
    // the status bar.
    QString speechMessage() const { return speechMessage_; }
    // Sorted, not overlapping; empty unless Found.
    const speech::SpeechSpans& speechSpans() const { return spans_; }

signals:
    // The state or the message changed (a new load, audio found, done, failed).
    void stateChanged();
    // Peaks arrived for bins [first, first + count); progress() may have moved.
    void peaksArrived(qsizetype first, qsizetype count);
    // speech() or speechMessage() changed.
    void speechChanged();

private:
    struct Job;
    void run(std::shared_ptr<Job> job);
    // Called on the GUI thread by the worker's queued messages; stale jobs are ignored.
    void audioFound(quint64 generation, double duration, std::size_t bins, bool cached);
    void addPeaks(quint64 generation, std::size_t first, std::vector<waveform::Peak> peaks);
    void finish(quint64 generation, State state, QString message);
    void speechDone(quint64 generation, Speech speech, speech::SpeechSpans spans, QString message);
    void setSpeech(Speech speech, QString message);

    std::filesystem::path cacheFolder_;
    int threads_;
    quint64 generation_ = 0;
    State state_ = State::Idle;
    QString message_;
    bool fromCache_ = false;
    bool audio_ = false;
    std::vector<waveform::Peak> peaks_;
    std::size_t known_ = 0;
    double duration_ = 0;
    Speech speech_ = Speech::Idle;
    QString speechMessage_;
    speech::SpeechSpans spans_;
    // Last: its threads use the members above, and it waits for them first.
    Workers<Job> workers_;
};

}  // namespace tirelle::app
