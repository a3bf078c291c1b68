// The main window: creation, closing and the wiring of every handler.

#include "app/srtform.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>

#include "app/checkwatcher.h"
#include "app/listview/listfinddialog.h"
#include "app/listview/subtitlegrid.h"
#include "app/statusline.h"
#include "app/timing/capture.h"
#include "app/timing/keyactions.h"
#include "app/timing/preview.h"
#include "app/timing/timingview.h"
#include "app/ui/scaling.h"
#include "app/ui/textcodec.h"
#include "app/widgets.h"
#include "base/timecode.h"
#include "playback/lazyplayer.h"
#include "playback/mediamodule.h"
#include "playback/player.h"
#include "tools/reports.h"

namespace tirelle::app {

TSrtForm* SrtForm = nullptr;

TSrtForm::TSrtForm(Options options, QWidget* parent)
    : QMainWindow(parent),
      folder_(std::move(options.folder)),
      makePlayer_(std::move(options.makePlayer)),
      files_(Sub, ADOCmd, &UndoHistory, ui::codePage()) {
    // The libmpv player is loaded and made when the first video is opened, so the start costs
    // nothing of it.
    if (!makePlayer_)
        makePlayer_ = [](QWidget* owner) -> playback::Player* {
            return new playback::LazyPlayer(&playback::LoadMpvPlayer, owner);
        };
    setObjectName(QStringLiteral("SrtForm"));
    setWindowTitle(QStringLiteral("Tirelle 0.91"));
    setFont(ui::songti(9));
    setGeometry(ui::scaled(270, 160, 977, 636));

    OpenDialog1.kind = ui::FileDialog::Kind::Open;
    OpenDialog1.name = QStringLiteral("OpenDialog1");
    OpenDialog2 = ui::srtOpenDialog();
    SaveDialog1 = ui::srtSaveDialog();
    FontDialog1.font = QFont(QStringLiteral("MS Sans Serif"));
    FontDialog1.font.setPixelSize(13);
    FontDialog1.color = palette().color(QPalette::WindowText);

    buildLayout();
    buildMenus();
    // The status bar is made now, and the window grows by its height, so the panels keep
    // their sizes.
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    status_ = std::make_unique<StatusLine>(statusBar());
    resize(width(), height() + statusBar()->sizeHint().height());

    Timer2 = new FormTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(40);
    Timer2->setTimerType(Qt::PreciseTimer);
    makeTiming();

    Sub.setConnection(&ADOConn);
    DSFind.setConnection(&ADOConn);
    ADOCmd.setConnection(&ADOConn);
    Sub.beforePost = [this](store::Dataset& dataset) { SubBeforePost(dataset); };

    connectHandlers();
    buildKeys();
    createToolForm();
    buildAnalysis();
    createChineseForm();
    createChecks();
    connectHistory();
    ui::guarded([this] { FormCreate(); });
    Timer2->setEnabled(true);  // ticks from start-up on
}

TSrtForm::~TSrtForm() {
    closed_ = true;
    if (DBGridEh1) DBGridEh1->setDataset(nullptr);
    if (DBGridEh1) DBGridEh1->setRowMarks(nullptr);
    // The checks watch Sub, which goes before the window's children do.
    if (Checks) Checks->detach();
    if (stripRows_) Sub.removeObserver(stripRows_.get());
}

void TSrtForm::ShowStatus(const QString& text, int timeoutMs) {
    status_->show(text, timeoutMs);
}

void TSrtForm::ShowReadEncoding(const srt::ReadEncoding& encoding, const QString& fileName) {
    status_->showRead(encoding, fileName);
}

double TSrtForm::TimeToSeconds(std::string_view text) {
    return tirelle::TimeToSeconds(text);
}

std::string TSrtForm::MillisecondsToTime(std::int32_t milliseconds) {
    return tirelle::MillisecondsToTime(milliseconds);
}

void TSrtForm::FormCreate() {
    preview_->reset();  // empty caption, a new empty PreviewLines, both bounds 0
    openStore();
}

void TSrtForm::connectHandlers() {
    on(menuItem(QStringLiteral("N4")), &QAction::triggered, [this](bool) { N4Click(); });
    on(menuItem(QStringLiteral("N6")), &QAction::triggered, [this](bool) { N6Click(); });
    on(menuItem(QStringLiteral("N9")), &QAction::triggered, [this](bool) { N9Click(); });
    on(menuItem(QStringLiteral("N15")), &QAction::triggered, [this](bool) { N15Click(); });
    on(menuItem(QStringLiteral("N3")), &QAction::triggered, [this](bool) { N3Click(); });
    on(menuItem(QStringLiteral("N7")), &QAction::triggered, [this](bool) { N7Click(); });
    on(menuItem(QStringLiteral("N22")), &QAction::triggered, [this](bool) { N22Click(); });
    on(menuItem(QStringLiteral("N23")), &QAction::triggered, [this](bool) { N23Click(); });
    on(menuItem(QStringLiteral("N20")), &QAction::triggered, [this](bool) { N20Click(); });
    on(menuItem(QStringLiteral("N21")), &QAction::triggered, [this](bool) { N21Click(); });
    on(DBGridEh1, &listview::SubtitleGrid::findRequested, [this](const QString& text) {
        listview::ListFindDialog::execute(*DBGridEh1, text);
    });

    on(Timer2, &QTimer::timeout, [this] { Timer2Timer(); });
    on(WMP1, &playback::Player::PlayStateChange,
       [this](playback::PlayState state) { WMP1PlayStateChange(state); });
    on(WMP1, &playback::Player::PositionChange,
       [this](double from, double to) { WMP1PositionChange(from, to); });

    on(SpButtonE, &QToolButton::clicked, [this](bool) { SpButtonEClick(); });
    on(SpeedButton4, &QToolButton::clicked, [this](bool) { SpeedButton4Click(); });
    // Every move of the slider, and again at the end of a drag.
    on(TrackBar1, &QSlider::valueChanged, [this](int) { TrackBar1Change(); });
    on(TrackBar1, &QSlider::sliderReleased, [this] { TrackBar1Change(); });
    on(BitBtn3, &QPushButton::clicked, [this](bool) { BitBtn3Click(); });
    on(DBGridEh1, &listview::SubtitleGrid::cellClick,
       [this](int column) { DBGridEh1CellClick(column); });

    on(Splitter1, &Splitter::moved, [this] { Splitter1Moved(); });
    on(Splitter2, &Splitter::moved, [this] { Splitter2Moved(); });
}

void TSrtForm::N15Click() {
    if (Sub.isEmpty()) return;  // nothing to delete, nothing asked
    // A row being edited goes unstored, a new row is discarded; the row deleted is the one that
    // was current when the question was asked.
    const int before = Sub.recordCount();
    const std::string start = Sub.fieldByName("STime").asString();
    DBGridEh1->deleteIfAgreed(
        [this] { return ui::dialogs().question(this, QStringLiteral("确定?")); });
    if (Sub.recordCount() < before)
        status_->report(tools::DeletedReport(ui::toQString(start).toStdString(), Sub.recordCount()));
}

void TSrtForm::FormClose() {
    preview_->release();
    Timer2->setEnabled(false);
}

void TSrtForm::closeEvent(QCloseEvent* event) {
    if (!closed_) ui::guarded([this] { FormClose(); });
    closed_ = true;  // no tick or player event is handled after the close handler
    QMainWindow::closeEvent(event);
}

}  // namespace tirelle::app
