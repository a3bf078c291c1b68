#pragma once
// Finds the picture's cuts of a video for the strip, the capture and 镜头对齐 without blocking
// the GUI thread: from the cut cache beside the peaks when the file is known there, else by
// the detector of the media module (playback/mediamodule.h) on a worker thread, which reports
// how far it is. Opening another file, or cancel(), stops the work on the old one at once; its
// results are dropped even if some are still on their way.
//
// All member functions and signals belong to the GUI thread. Stopped workers are joined later
// (when they have finished, or in the destructor), never while the user waits.

#include <QObject>
#include <QString>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/waveform/workers.h"
#include "shots/cuts.h"

namespace tirelle::app {

class CutLoader : public QObject {
    Q_OBJECT
public:
    enum class State {
        Idle,         // no file
        Detecting,    // progress() moves on
        Ready,        // cuts() holds every cut of the video (maybe none)
        Unavailable,  // no video, a still picture, a variable frame rate, damaged, unreadable,
                      // the detector missing: message() says why
        Cancelled,    // stopped by cancel()
    };

    // `cacheFolder` empty: no cache. `threads` 0: as many as the detector likes.
    explicit CutLoader(std::filesystem::path cacheFolder, int threads = 0,
                       QObject* parent = nullptr);
    ~CutLoader() override;

    // Starts on the file at `path`; the old work is stopped and its cuts are gone.
    void load(const QString& path);
    void clear();
    // Stops a detection on its way: Cancelled; nothing when none is.
    void cancel();

    State state() const { return state_; }
    // Chinese, for the status bar; empty but for Unavailable.
    QString message() const { return message_; }
    bool fromCache() const { return fromCache_; }
    // Share of the video looked at, 0 to 1.
    double progress() const { return state_ == State::Ready ? 1 : progress_; }
    // Empty unless Ready.
    const shots::ShotCuts& cuts() const { return cuts_; }

signals:
    void stateChanged();
    void progressChanged();

private:
    struct Job;
    void run(std::shared_ptr<Job> job);
    void moved(quint64 generation, double share);
    void finish(quint64 generation, State state, shots::ShotCuts cuts, QString message,
                bool cached);

    std::filesystem::path cacheFolder_;
    int threads_;
    quint64 generation_ = 0;
    State state_ = State::Idle;
    QString message_;
    bool fromCache_ = false;
    double progress_ = 0;
    shots::ShotCuts cuts_;
    // Last: its threads use the members above, and it waits for them first.
    Workers<Job> workers_;
};

}  // namespace tirelle::app
