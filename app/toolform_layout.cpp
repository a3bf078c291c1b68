// Building the tools window: caption, size, the page control with its five pages and every
// control at its place. Geometry is given at 120 pixels per inch and scaled to the screen.

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTextDocument>
#include <QVBoxLayout>

#include "app/toolform.h"
#include "app/ui/scaling.h"

namespace tirelle::app {

using ui::scaled;

namespace {

// The window's outer size is 578 x 421; its client area is that less a sizeable frame and a
// caption bar.
constexpr int kClientWidth = 578 - 2 * 4;
constexpr int kClientHeight = 421 - 2 * 4 - 26;

template <class Widget>
Widget* place(Widget* widget, const QString& name, int x, int y, int w, int h) {
    widget->setObjectName(name);
    widget->setGeometry(ui::scaled(x, y, w, h));
    return widget;
}

QLabel* label(QWidget* page, const QString& name, int x, int y, const QString& caption) {
    auto* control = new QLabel(caption, page);
    control->setObjectName(name);
    control->move(scaled(x), scaled(y));
    control->adjustSize();
    return control;
}

QLineEdit* edit(QWidget* page, const QString& name, int x, int y, int w, const QString& text = {}) {
    auto* control = place(new QLineEdit(text, page), name, x, y, w, 23);
    control->setCursorPosition(0);
    return control;
}

QPushButton* button(QWidget* page, const QString& name, int x, int y, const QString& caption,
                    int w = 89, int h = 25) {
    auto* control = place(new QPushButton(caption, page), name, x, y, w, h);
    control->setAutoDefault(false);
    return control;
}

// A read-only explanation without a border, one line per entry.
QPlainTextEdit* explanation(QWidget* page, const QString& name, int x, int y, int w, int h,
                            const QStringList& lines) {
    auto* control = place(new QPlainTextEdit(page), name, x, y, w, h);
    control->setPlainText(lines.join(QLatin1Char('\n')));
    control->setReadOnly(true);
    control->setFrameShape(QFrame::NoFrame);
    control->setLineWrapMode(QPlainTextEdit::NoWrap);
    control->setFocusPolicy(Qt::NoFocus);
    control->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    control->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    control->document()->setDocumentMargin(2);
    return control;
}

QWidget* page(QTabWidget* pages, const QString& name, const QString& caption) {
    auto* sheet = new QWidget(pages);
    sheet->setObjectName(name);
    pages->addTab(sheet, caption);
    return sheet;
}

}  // namespace

void TToolForm::buildPages() {
    setWindowTitle(QStringLiteral("工具"));
    setFont(ui::songti(9));
    setFixedSize(scaled(kClientWidth), scaled(kClientHeight));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    layout->addWidget(PageControl1);

    TabSheet1 = page(PageControl1, QStringLiteral("TabSheet1"), QStringLiteral("时间平移"));
    TabSheet2 = page(PageControl1, QStringLiteral("TabSheet2"), QStringLiteral("时间缩放"));
    TabSheet3 = page(PageControl1, QStringLiteral("TabSheet3"), QStringLiteral("分割字幕"));
    TabSheet4 = page(PageControl1, QStringLiteral("TabSheet4"), QStringLiteral("合并字幕"));
    TabSheet5 = page(PageControl1, QStringLiteral("TabSheet5"), QStringLiteral("批量设置字体"));

    Memo1 = explanation(TabSheet1, QStringLiteral("Memo1"), 24, 24, 417, 113,
                        {QStringLiteral("说明：片源不同可能导致字幕的时间不同步，"),
                         QStringLiteral("例子：片头到片尾的字幕都比视频慢5.5秒。"),
                         QStringLiteral("要让字幕比原来快5.5秒出现，请输入-5.5")});
    Label2 = label(TabSheet1, QStringLiteral("Label2"), 72, 236, QStringLiteral("平移"));
    Edit1 = edit(TabSheet1, QStringLiteral("Edit1"), 120, 232, 73);
    Label1 = label(TabSheet1, QStringLiteral("Label1"), 208, 236, QStringLiteral("秒"));
    BitBtn1 = button(TabSheet1, QStringLiteral("BitBtn1"), 240, 232, QStringLiteral("开始处理"));

    Memo2 = explanation(TabSheet2, QStringLiteral("Memo2"), 24, 24, 513, 113,
                        {QStringLiteral("说明：该问题比较少见，慎用~"),
                         QStringLiteral("例子：原字幕第一句00:00:05,400，最后一句01:40:00,000"),
                         QStringLiteral("片头时字幕和视频挺和谐，然后越来越不同步~ "),
                         QStringLiteral("到了片尾时字幕比视频快15.5秒。"),
                         QStringLiteral("那么应该填入第一句00:00:05,400   最后一句01:40:15,500")});
    Label3 = label(TabSheet2, QStringLiteral("Label3"), 40, 204, QStringLiteral("第一句时间"));
    Edit2 = edit(TabSheet2, QStringLiteral("Edit2"), 272, 200, 137);
    Label4 = label(TabSheet2, QStringLiteral("Label4"), 40, 244, QStringLiteral("最后一句时间"));
    Edit3 = edit(TabSheet2, QStringLiteral("Edit3"), 272, 240, 137);
    BitBtn2 = button(TabSheet2, QStringLiteral("BitBtn2"), 416, 240, QStringLiteral("开始处理"));

    Label5 = label(TabSheet3, QStringLiteral("Label5"), 40, 64, QStringLiteral("将此时间"));
    Edit4 = edit(TabSheet3, QStringLiteral("Edit4"), 112, 58, 113, QStringLiteral("00:45:01,000"));
    Label6 =
        label(TabSheet3, QStringLiteral("Label6"), 240, 64, QStringLiteral("以后的字幕分割出来"));
    BitBtn3 = button(TabSheet3, QStringLiteral("BitBtn3"), 384, 56, QStringLiteral("开始处理"));

    Edit6 = edit(TabSheet4, QStringLiteral("Edit6"), 16, 48, 361);
    BitBtn5 = button(TabSheet4, QStringLiteral("BitBtn5"), 384, 48, QStringLiteral("浏览"), 57, 25);
    Label7 =
        label(TabSheet4, QStringLiteral("Label7"), 40, 112, QStringLiteral("将字幕合并到此时间"));
    Edit5 = edit(TabSheet4, QStringLiteral("Edit5"), 184, 106, 113, QStringLiteral("00:45:01,000"));
    Label8 = label(TabSheet4, QStringLiteral("Label8"), 312, 112, QStringLiteral("以后"));
    BitBtn4 = button(TabSheet4, QStringLiteral("BitBtn4"), 368, 104, QStringLiteral("开始处理"));

    Label9 = label(TabSheet5, QStringLiteral("Label9"), 24, 76, QStringLiteral("文本前加"));
    Edit7 = edit(TabSheet5, QStringLiteral("Edit7"), 96, 72, 81);
    Label10 = label(TabSheet5, QStringLiteral("Label10"), 224, 76, QStringLiteral("文本后加"));
    Edit8 = edit(TabSheet5, QStringLiteral("Edit8"), 296, 72, 81);
    BitBtn6 = button(TabSheet5, QStringLiteral("BitBtn6"), 392, 72, QStringLiteral("开始处理"));

    buildSyncPage();
}

void TToolForm::buildSyncPage() {
    TabSheet6 = page(PageControl1, QStringLiteral("TabSheet6"), QStringLiteral("音频同步"));
    explanation(TabSheet6, QStringLiteral("Memo3"), 24, 16, 513, 73,
                {QStringLiteral("说明：字幕来自另一个片源时，自动找出整体的偏移、"),
                 QStringLiteral("帧率比率（如25/23.976）和中途的断点，一次调整所有字幕。"),
                 QStringLiteral("参考字幕：同一片源的、时间正确的另一份字幕（如英文字幕）。")});
    SyncSpeechButton = place(new QRadioButton(QStringLiteral("同步到影片的语音"), TabSheet6),
                             QStringLiteral("SyncSpeechButton"), 24, 100, 240, 21);
    SyncSpeechButton->setChecked(true);
    SyncReferenceButton = place(new QRadioButton(QStringLiteral("同步到参考字幕"), TabSheet6),
                                QStringLiteral("SyncReferenceButton"), 24, 128, 240, 21);
    Edit9 = edit(TabSheet6, QStringLiteral("Edit9"), 48, 156, 361);
    BitBtn8 = button(TabSheet6, QStringLiteral("BitBtn8"), 416, 156, QStringLiteral("浏览"), 57, 25);
    SnapCheck = place(new QCheckBox(QStringLiteral("吸附语音"), TabSheet6),
                      QStringLiteral("SnapCheck"), 24, 196, 240, 21);
    Label11 = place(new QLabel(TabSheet6), QStringLiteral("Label11"), 24, 244, 380, 21);
    BitBtn7 = button(TabSheet6, QStringLiteral("BitBtn7"), 416, 240, QStringLiteral("开始处理"));
}

}  // namespace tirelle::app
