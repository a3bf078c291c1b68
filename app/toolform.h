#pragma once
// The tools window `ToolForm`: five pages of whole-store operations (shift, scale, split,
// merge, text wrap) and the whole-file sync to the film's speech or a reference file. It is created once with the main window and hidden between openings, so
// every box keeps its text. Its handlers read their boxes, call the tools library and show the
// result; the window reaches the store only through its context.
//   toolform.cpp         opening, the handlers
//   toolform_layout.cpp  building the pages and their controls
//   toolform_sync.cpp    the sync page; its analysis runs on a worker (app/syncjob.h)

#include <QDialog>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/ui/dialogs.h"
#include "speech/analysis.h"
#include "srt/srtfile.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace tirelle::store {
class Dataset;
class History;
}
namespace tirelle::tools {
class FileSteps;
}

namespace tirelle::app {

class StatusLine;
class SyncJob;

// What the tools window works on: the file steps on the working dataset (which make each
// operation one undo step), the way to end capture mode in the main window and the status line
// that tells which encoding a merged file was read in (none: not told). Modal questions go
// through ui::dialogs().
struct ToolContext {
    tools::FileSteps* steps = nullptr;
    std::function<void()> stopCapture;
    StatusLine* status = nullptr;
    // The history the file steps record into (the sync's step goes there too); null: none.
    store::History* history = nullptr;
    // The film the sync page works on: the open video's path (empty: none) and its length in
    // seconds (0: unknown).
    std::function<QString()> videoPath;
    std::function<double()> videoDuration;
    // The speech analysis of a video's audio (the media module's entry point), or nullptr
    // with the reason; called on the GUI thread.
    std::function<speech::AnalyseFunction(std::string& reason)> findAnalysis;
    // Where the speech of a video is kept once found; empty: not kept.
    std::filesystem::path speechCache;
};

class TToolForm : public QDialog {
    Q_OBJECT
public:
    explicit TToolForm(ToolContext context, QWidget* parent = nullptr);

    // Ends capture mode, makes `page` current and shows the window modally.
    void showPage(int page);

    // --- controls, by their names
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QWidget* TabSheet4 = nullptr;
    QWidget* TabSheet5 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLabel* Label6 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QLineEdit* Edit6 = nullptr;
    QPushButton* BitBtn5 = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* Edit5 = nullptr;
    QLabel* Label8 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QLabel* Label9 = nullptr;
    QLineEdit* Edit7 = nullptr;
    QLabel* Label10 = nullptr;
    QLineEdit* Edit8 = nullptr;
    QPushButton* BitBtn6 = nullptr;
    // The sync page.
    QWidget* TabSheet6 = nullptr;
    QRadioButton* SyncSpeechButton = nullptr;
    QRadioButton* SyncReferenceButton = nullptr;
    QLineEdit* Edit9 = nullptr;  // the reference file
    QPushButton* BitBtn8 = nullptr;
    QCheckBox* SnapCheck = nullptr;
    QLabel* Label11 = nullptr;  // what the page is doing
    QPushButton* BitBtn7 = nullptr;

    // The window's own dialogs and hidden line list.
    ui::FileDialog SaveDialog1;
    ui::FileDialog OpenDialog2;
    ui::FileDialog OpenDialog3;  // the sync's reference file
    srt::LineList MemoF;

    // The sync page's page index.
    static constexpr int kSyncPage = 5;

    // --- handlers
    void BitBtn1Click();   // time shift
    void TabSheet2Show();  // pre-fill of the scale page
    void BitBtn2Click();   // time scale
    void BitBtn3Click();   // split
    void BitBtn5Click();   // choose the file to merge
    void BitBtn4Click();   // merge
    void BitBtn6Click();   // text wrap
    void BitBtn7Click();   // sync: start, or cancel the analysis under way
    void BitBtn8Click();   // choose the sync's reference file
    // The sync is working on its worker (the film's speech, the alignment).
    bool syncRunning() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildPages();
    void buildSyncPage();
    void connectSync();
    void syncFinished();
    void showSyncRunning(bool running);
    void connectHandlers();
    // The end of every operation that did something: "ok", then the window closes.
    void finish();
    // Tells the status line what the tool did (UTF-8).
    void report(const std::string& utf8);
    store::Dataset& sub() const;

    ToolContext context_;
    SyncJob* syncJob_ = nullptr;  // owned as a child
};

extern TToolForm* ToolForm;

}  // namespace tirelle::app
