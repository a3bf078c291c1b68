// The video pane: opening a video and keeping the player fitted to its pane.

#include <QResizeEvent>

#include "app/srtform.h"
#include "app/statusline.h"
#include "app/timing/capture.h"
#include "app/ui/dialogs.h"
#include "app/ui/textcodec.h"
#include "app/widgets.h"
#include "playback/player.h"

namespace tirelle::app {

void TSrtForm::N4Click() {
    if (!ui::dialogs().runFileDialog(this, OpenDialog1)) return;
    // The player and the waveform would open and close the store's own files (see isStoreFile).
    if (ADOConn.isStoreFile(ui::localPath(OpenDialog1.fileName))) {
        ui::dialogs().errorBox(this, QStringLiteral("不能把字幕库的文件当作视频打开：") +
                                         OpenDialog1.fileName);
        return;
    }
    WMP1->setUrl(OpenDialog1.fileName);
    // What the audio's reading says next takes the line over.
    ShowStatus(QStringLiteral("已打开视频：") +
               QString::fromStdString(shownName(OpenDialog1.fileName)));
    LoadWaveform(OpenDialog1.fileName);
    // Capture mode on without the click handler: the player starts playing by itself.
    capture().videoOpened();
}

void TSrtForm::FitPlayer() {
    // The player fills the video pane; asking it to show itself in those bounds makes it lay
    // out its picture for the new size.
    QWidget* view = WMP1->widget();
    if (view->geometry() != Panel4->rect()) view->setGeometry(Panel4->rect());
    WMP1->showInBounds(Panel4->rect());
}

void TSrtForm::FormResize() {
    FitPlayer();
}
void TSrtForm::Splitter1Moved() {
    FitPlayer();
}
void TSrtForm::Splitter2Moved() {
    FitPlayer();
}

void TSrtForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (closed_ || !WMP1) return;
    ui::guarded([this] { FormResize(); });
}

}  // namespace tirelle::app
