#pragma once
// The main window `SrtForm`: the video pane with its player, the preview caption, the capture
// strip, the text box and the subtitle list, with the store objects behind them. Handlers are
// named after their control and event; each entry point from the event loop runs through the
// error guard. The handlers are split by concern over several files:
//   srtform.cpp         create, close, the commands of the menus
//   srtform_layout.cpp  building the controls
//   srtform_store.cpp   opening the store and the derivation before each post
//   srtform_timing.cpp  the live preview and the timing capture (app/timing does the work)
//   srtform_files.cpp   opening and saving SRT files
//   srtform_tools.cpp   the tools menu
//   srtform_appearance.cpp  fonts, row lines, help and about
//   srtform_waveform.cpp    the waveform strip under the video
//   srtform_history.cpp     the edit menu: undo and redo
//   srtform_keys.cpp        the menu "播放", its shortcuts and the list's row actions
//   srtform_speech.cpp      the speech and cuts of the video: status, snap commands, capture options

#include <QMainWindow>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "app/ui/dialogs.h"
#include "app/ui/guard.h"
#include "srt/srtfile.h"
#include "store/command.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/history.h"
#include "store/scratchquery.h"
#include "tools/filesteps.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QToolButton;

namespace tirelle::playback {
class Player;
}
namespace tirelle::listview {
class SubtitleGrid;
}
namespace tirelle::timing {
class Capture;
class KeyActions;
class Preview;
class TimingView;
}  // namespace tirelle::timing

namespace tirelle::app {

class CutLoader;
class FormTimer;
class PeakLoader;
class Splitter;
class StatusLine;
class THelpForm;
class CheckWatcher;
class TChecksPanel;
class TChineseForm;
class TToolForm;
class StripHandle;
class ToggleButton;
class WaveStrip;
class WorkProgress;

class TSrtForm : public QMainWindow {
    Q_OBJECT
public:
    // Makes the player for the video pane; the window owns what it returns.
    using PlayerFactory = std::function<playback::Player*(QWidget* parent)>;

    struct Options {
        std::filesystem::path folder;  // the program's folder: DB.mdb (and help.mht) live there
        PlayerFactory makePlayer;      // nullptr: the libmpv player
    };

    explicit TSrtForm(Options options, QWidget* parent = nullptr);
    ~TSrtForm() override;

    const std::filesystem::path& programFolder() const { return folder_; }

    // Time-code conversions, reachable through the main window (the tools window uses them).
    static double TimeToSeconds(std::string_view text);
    static std::string MillisecondsToTime(std::int32_t milliseconds);

    // --- the store
    store::Connection ADOConn;
    store::Dataset Sub{"Sub"};
    store::ScratchQuery DSFind{"DSFind"};
    store::Command ADOCmd{"ADOCmd"};
    // Every change to the store as a step that can be undone, kept in DB.mdb.
    store::History UndoHistory;

    // --- preview state, worked on by preview()
    double NextStartTime = 0;  // seconds; start of the subtitle after the current one, 0: none
    double ActiveEndTime = 0;  // seconds; earliest end among the subtitles shown
    std::unique_ptr<std::vector<std::string>> PreviewLines;  // texts shown in the caption

    // The hidden line buffer through which SRT files are read and written.
    srt::LineList MemoF;

    // --- controls, by their names
    QWidget* Panel1 = nullptr;
    Splitter* Splitter1 = nullptr;
    listview::SubtitleGrid* DBGridEh1 = nullptr;
    QWidget* Panel2 = nullptr;
    QWidget* Panel4 = nullptr;
    playback::Player* WMP1 = nullptr;
    Splitter* Splitter2 = nullptr;
    QWidget* Panel3 = nullptr;
    QLabel* Label3 = nullptr;
    QWidget* Panel5 = nullptr;
    QWidget* Panel7 = nullptr;
    QLineEdit* Edit1 = nullptr;
    ToggleButton* SpeedButton4 = nullptr;
    QLineEdit* Edit2 = nullptr;
    ToggleButton* SpButtonE = nullptr;
    QLineEdit* Edit_TimePos = nullptr;
    QLabel* Label4 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QLabel* Label1 = nullptr;
    QSlider* TrackBar1 = nullptr;
    QLabel* Label2 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    FormTimer* Timer2 = nullptr;

    // Menu items by name (N1 ... N23); separators included.
    QAction* menuItem(const QString& name) const;

    // Dialogs with their settings and memory of the last file / font.
    ui::FileDialog OpenDialog1;
    ui::FileDialog OpenDialog2;
    ui::FileDialog SaveDialog1;
    ui::FontChoice FontDialog1;

    // --- handlers
    void FormCreate();
    void FormClose();
    void SubBeforePost(store::Dataset& dataset);

    // Video (srtform_playback.cpp)
    void N4Click();
    void FitPlayer();
    void FormResize();
    void Splitter1Moved();
    void Splitter2Moved();

    // The live preview and the timing capture, whose handlers below hand over to them.
    timing::Preview& preview() const { return *preview_; }
    timing::Capture& capture() const { return *capture_; }
    // The playback keys and row actions of the menu "播放" and the list's context menu.
    timing::KeyActions& keyActions() const { return *keys_; }

    // Live preview (srtform_timing.cpp)
    void WMP1PlayStateChange(int NewState);
    void WMP1PositionChange(double oldPosition, double newPosition);
    void Timer2Timer();
    void RefreshPreview();
    // After every change of the store (an edit, an insert, a delete, an undo, a tool, an open):
    // the caption shows the subtitles active at the position with their current texts, once
    // the running handler is done.
    void StoreChanged();

    // Timing capture and insertion (srtform_timing.cpp)
    void SpButtonEClick();
    void SpeedButton4Click();
    void TrackBar1Change();
    void BitBtn3Click();
    void DBGridEh1CellClick(int column);
    void StopCapture();
    // Steps 3 and 4 of the tick.
    void RangePreviewEndCheck();
    void CaptureStep();
    // Lead time in seconds from the slider: (100 - position) / 10.
    double LeadTime() const;

    // The file steps (open, merge, save, the tools) on the store, shared with the tools window.
    tools::FileSteps& fileSteps() { return files_; }

    // SRT files (srtform_files.cpp)
    void N6Click();
    // The open command with the file already chosen (one named on the command line): the rows
    // in the store are offered for saving first, as N6Click does, then the file replaces them.
    void OpenSubtitleFile(const QString& fileName);
    void N9Click();
    // After a read that converted the file, the note in the status bar (StatusLine::showRead).
    void ShowReadEncoding(const srt::ReadEncoding& encoding, const QString& fileName);

    // Short feedback in the status bar at the bottom of the window (StatusLine::show); the
    // tools window tells it through status() too.
    void ShowStatus(const QString& text, int timeoutMs = 0);
    StatusLine& status() const { return *status_; }

    // List (srtform.cpp)
    void N15Click();

    // Tools menu (srtform_tools.cpp): each ends capture mode and opens the tools window on its
    // page.
    void N11Click();
    void N12Click();
    void N14Click();
    void N16Click();
    void N18Click();
    void SyncItemClick();  // the sync page
    // 简繁转换 (srtform_chinese.cpp): its window, and the converted copy beside a file just
    // saved from MemoF, when the window's choice is on.
    void ChineseItemClick();
    TChineseForm* chineseForm() const { return chineseForm_; }
    void SaveConvertedCopy(const std::filesystem::path& saved);
    // The tools window, made with this window and hidden between openings.
    TToolForm* toolForm() const { return toolForm_; }

    // Appearance, help and about (srtform_appearance.cpp)
    void N3Click();
    void N7Click();
    void N22Click();
    void N23Click();
    void N20Click();
    void N21Click();
    // The program's own help window, once the desktop could not open the document.
    THelpForm* helpForm() const { return helpForm_; }

    // Waveform strip under the video (srtform_waveform.cpp)
    WaveStrip* WaveStrip1 = nullptr;
    StripHandle* WaveHandle = nullptr;
    PeakLoader* Peaks = nullptr;
    // Starts getting the peaks of the video just opened; the strip shows once audio is found.
    void LoadWaveform(const QString& path);
    void WaveStrip1Seek(double seconds);
    void WaveStrip1EdgeDragged(std::int64_t aid, bool end, double seconds);
    // Sets the start (end == false) or end time text of the subtitle `aid` to the time code of
    // `seconds` and posts the row, as an edit in the list would; nothing when the row is gone.
    void PostEdgeTime(std::int64_t aid, bool end, double seconds);

    // Speech and cuts of the video (srtform_speech.cpp)
    CutLoader* Cuts = nullptr;
    WorkProgress* Work = nullptr;
    QLabel* SpeechLabel = nullptr;
    QLabel* CutsLabel = nullptr;
    // The capture's options "捕获时对齐语音" (captured times onto the speech near) and "也对齐
    // 镜头" (then onto a cut within a few frames), on a button in the capture strip.
    QAction* SpeechCaptureAction = nullptr;
    QAction* CutCaptureAction = nullptr;
    QToolButton* CaptureSnapButton = nullptr;
    // 对齐语音（当前行） and 对齐语音（全部）: one undo step each; nothing, said in the status
    // bar, without speech.
    void SnapCurrentItemClick();
    void SnapAllItemClick();
    // 镜头对齐 over every row as one undo step; nothing, said so, without cuts.
    void AlignCutsItemClick();
    // Either capture option clicked: the capture's adjustment set from both.
    void CaptureOptionClick();
    // The cancel button of the work's progress: the audio and the cuts both stop.
    void WorkCancelClick();

    // Timing checks (srtform_checks.cpp): the problems kept up to date, the list's marks, the
    // count in the status bar and the panel of the menu "检查".
    CheckWatcher* Checks = nullptr;
    TChecksPanel* ChecksPanel = nullptr;
    QLabel* CheckCount = nullptr;
    void ChecksItemClick();
    void ShowCheckCount();
    void UseVideoFrameRate();  // the checks count frames at the open video's rate
    // Undo and redo (srtform_history.cpp)
    void UndoItemClick();
    void RedoItemClick();

    // The caption of Label3 as last written (the CR LF text of the preview).
    const std::string& previewCaption() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void openStore();
    // The store's state in the status bar ("" hides it) and the title's read-only mark.
    void showStoreState(const QString& text, bool readOnly);
    // N6Click with the file chosen by the dialog (none named) or given.
    void OpenSubtitles(const std::optional<QString>& named);
    void buildLayout();
    void buildStrip();
    void buildMenus();
    void connectHandlers();
    void createToolForm();
    void createChineseForm();
    void createChecks();
    void buildWaveStrip();
    void PeaksStateChange();
    // Shows or hides the strip and its handle as stripWanted_ says, except in full screen.
    void showWaveStrip();
    void PeaksArrived();
    void buildAnalysis();
    void SpeechChange();
    void CutsStateChange();
    void RefreshWork();
    // Why the snap to speech cannot run; empty when it can.
    QString speechMissing() const;
    void SnapToSpeech(bool all);
    void connectHistory();
    void refreshEditMenu();
    void takeStep(bool undoing);
    void makeTiming();
    void buildKeys();
    // The font dialog titled `title` on the target's font and colour; true when a font was
    // chosen (then in FontDialog1).
    bool chooseFont(const QString& title, const ui::FontChoice& target);
    QAction* addItem(QMenu* menu, const QString& name, const QString& caption);
    // Connects a signal to a handler that runs through the error guard.
    template <class Sender, class Signal, class Handler>
    void on(Sender* sender, Signal signal, Handler handler);

    std::filesystem::path folder_;
    QLabel* storeState_ = nullptr;  // in the status bar: a store read-only or not open
    PlayerFactory makePlayer_;
    tools::FileSteps files_;
    std::unique_ptr<StatusLine> status_;
    std::unique_ptr<timing::TimingView> timingView_;
    std::unique_ptr<timing::Preview> preview_;
    std::unique_ptr<timing::Capture> capture_;
    std::unique_ptr<timing::KeyActions> keys_;
    std::unique_ptr<store::DatasetObserver> stripRows_;
    int shownPercent_ = -1;
    bool stripWanted_ = false;  // audio found: the strip belongs under the video
    bool closed_ = false;
    bool storeChangePending_ = false;
    TToolForm* toolForm_ = nullptr;
    THelpForm* helpForm_ = nullptr;  // made at the first help the desktop cannot open
    TChineseForm* chineseForm_ = nullptr;
};

// The three windows, set by the program entry.
extern TSrtForm* SrtForm;

}  // namespace tirelle::app

// --- implementation of the guarded connection helper
namespace tirelle::app {
template <class Sender, class Signal, class Handler>
void TSrtForm::on(Sender* sender, Signal signal, Handler handler) {
    QObject::connect(sender, signal, this, [this, handler](auto&&... args) {
        if (closed_) return;  // after the close handler nothing more is handled
        ui::guarded([&] {
            if constexpr (std::is_invocable_v<const Handler&, decltype(args)...>)
                handler(args...);
            else
                handler();  // signals with a private tag argument (QTimer::timeout)
        });
    });
}
}  // namespace tirelle::app
