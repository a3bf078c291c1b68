// Building the main window's controls: panels, splitters, the capture strip and the menus.
// Geometry is given at 120 pixels per inch and scaled to the screen.

#include <QAction>
#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>

#include "app/listview/subtitlegrid.h"
#include "app/srtform.h"
#include "app/ui/scaling.h"
#include "app/widgets.h"
#include "playback/player.h"

namespace tirelle::app {

using ui::scaled;
using ui::songti;

namespace {

QWidget* panel(const QString& name, QWidget* parent) {
    auto* widget = new QWidget(parent);
    widget->setObjectName(name);
    return widget;
}

void setColours(QWidget* widget, const QColor& background, const QColor& text) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QBoxLayout* bareLayout(QBoxLayout::Direction direction, QWidget* owner) {
    auto* layout = new QBoxLayout(direction, owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

}  // namespace

void TSrtForm::buildLayout() {
    auto* client = panel(QStringLiteral("ClientArea"), this);
    setCentralWidget(client);
    auto* row = bareLayout(QBoxLayout::LeftToRight, client);

    // Right: the list, 380 wide; left of it the splitter; the rest is Panel2.
    Panel2 = panel(QStringLiteral("Panel2"), client);
    Panel1 = panel(QStringLiteral("Panel1"), client);
    Panel1->setFixedWidth(scaled(380));
    Splitter1 = new Splitter(Qt::Horizontal, Panel1, client);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setFixedWidth(scaled(5));
    Splitter1->setMinSize(scaled(30));
    row->addWidget(Panel2, 1);
    row->addWidget(Splitter1);
    row->addWidget(Panel1);

    auto* listLayout = bareLayout(QBoxLayout::TopToBottom, Panel1);
    DBGridEh1 = new listview::SubtitleGrid(Panel1);
    DBGridEh1->setObjectName(QStringLiteral("DBGridEh1"));
    DBGridEh1->setListFont(songti(9));
    listLayout->addWidget(DBGridEh1);

    // Panel2: the video pane above, the splitter, the lower panel (271 high) below.
    auto* column = bareLayout(QBoxLayout::TopToBottom, Panel2);
    Panel4 = panel(QStringLiteral("Panel4"), Panel2);
    setColours(Panel4, Qt::black, Qt::white);
    Panel3 = panel(QStringLiteral("Panel3"), Panel2);
    Panel3->setFixedHeight(scaled(271));
    Splitter2 = new Splitter(Qt::Vertical, Panel3, Panel2);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->setFixedHeight(scaled(5));
    Splitter2->setMinSize(scaled(30));
    column->addWidget(Panel4, 1);
    column->addWidget(Splitter2);
    column->addWidget(Panel3);

    // The player fills the video pane.
    auto* videoLayout = bareLayout(QBoxLayout::TopToBottom, Panel4);
    WMP1 = makePlayer_(Panel4);
    WMP1->setParent(this);
    WMP1->setObjectName(QStringLiteral("WMP1"));
    videoLayout->addWidget(WMP1->widget());

    // Panel3: the preview caption above Panel5 (170 high).
    auto* lower = bareLayout(QBoxLayout::TopToBottom, Panel3);
    Label3 = new QLabel(Panel3);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setAlignment(Qt::AlignCenter);
    Label3->setTextFormat(Qt::PlainText);
    Label3->setFont(songti(12));
    setColours(Label3, QColor(73, 73, 73), Qt::white);
    Panel5 = panel(QStringLiteral("Panel5"), Panel3);
    Panel5->setFixedHeight(scaled(170));
    lower->addWidget(Label3, 1);
    lower->addWidget(Panel5);

    // Panel5: the strip (80 high) above the text box.
    auto* bottom = bareLayout(QBoxLayout::TopToBottom, Panel5);
    Panel7 = panel(QStringLiteral("Panel7"), Panel5);
    Panel7->setFixedHeight(scaled(80));
    Memo1 = new QPlainTextEdit(Panel5);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setFont(songti(12));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setColours(Memo1, QColor(213, 213, 213), Qt::black);
    bottom->addWidget(Panel7);
    bottom->addWidget(Memo1, 1);

    buildStrip();
    buildWaveStrip();
}

void TSrtForm::buildStrip() {
    const QFont boxFont = songti(12);
    auto edit = [&](const QString& name, const QString& text, QRect place) {
        auto* box = new QLineEdit(text, Panel7);
        box->setObjectName(name);
        box->setFont(boxFont);
        box->setGeometry(place);
        return box;
    };
    auto label = [&](const QString& name, const QString& text, int x, int y) {
        auto* caption = new QLabel(text, Panel7);
        caption->setObjectName(name);
        caption->move(scaled(x), scaled(y));
        caption->adjustSize();
        return caption;
    };

    Edit1 = edit(QStringLiteral("Edit1"), QStringLiteral("00:00:00,000"), scaled(8, 4, 145, 28));
    SpeedButton4 = new ToggleButton(QStringLiteral("-->"), Panel7);
    SpeedButton4->setObjectName(QStringLiteral("SpeedButton4"));
    SpeedButton4->setGeometry(scaled(160, 4, 57, 20));
    Edit2 = edit(QStringLiteral("Edit2"), QString(), scaled(224, 4, 145, 28));
    SpButtonE = new ToggleButton(QStringLiteral(">"), Panel7);
    SpButtonE->setObjectName(QStringLiteral("SpButtonE"));
    SpButtonE->setGeometry(scaled(376, 8, 33, 25));
    ToggleButton::joinGroup(SpButtonE, SpeedButton4);

    Edit_TimePos = new QLineEdit(Panel7);
    Edit_TimePos->setObjectName(QStringLiteral("Edit_TimePos"));
    Edit_TimePos->setGeometry(scaled(432, 8, 137, 21));
    Edit_TimePos->setReadOnly(true);
    Edit_TimePos->setFrame(false);
    {
        // Reads as a label: the strip's own background, no border.
        QPalette palette = Edit_TimePos->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        Edit_TimePos->setPalette(palette);
    }

    Label4 = label(QStringLiteral("Label4"), QStringLiteral("3.000"), 168, 32);
    BitBtn3 = new QPushButton(QStringLiteral("插入字幕"), Panel7);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn3->setGeometry(scaled(440, 40, 105, 33));
    Label1 = label(QStringLiteral("Label1"), QStringLiteral("10"), 16, 52);
    TrackBar1 = new QSlider(Qt::Horizontal, Panel7);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setGeometry(scaled(40, 48, 321, 25));
    TrackBar1->setRange(0, 100);
    TrackBar1->setValue(70);
    TrackBar1->setSingleStep(1);
    TrackBar1->setPageStep(2);
    TrackBar1->setTickPosition(QSlider::NoTicks);
    Label2 = label(QStringLiteral("Label2"), QStringLiteral("0"), 376, 52);

    // Keyboard order: the text box, then the strip.
    QWidget::setTabOrder(Memo1, Edit1);
    QWidget::setTabOrder(Edit1, Edit2);
    QWidget::setTabOrder(Edit2, BitBtn3);
    QWidget::setTabOrder(BitBtn3, TrackBar1);
    QWidget::setTabOrder(TrackBar1, Edit_TimePos);
}

QAction* TSrtForm::addItem(QMenu* menu, const QString& name, const QString& caption) {
    QAction* item = caption == QLatin1String("-") ? menu->addSeparator() : menu->addAction(caption);
    item->setObjectName(name);
    return item;
}

void TSrtForm::buildMenus() {
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    auto top = [&](const QString& name, const QString& caption) {
        QMenu* menu = MainMenu1->addMenu(caption);
        menu->setObjectName(name);
        menu->menuAction()->setObjectName(name);
        return menu;
    };
    QMenu* file = top(QStringLiteral("N1"), QStringLiteral("文件"));
    addItem(file, QStringLiteral("N4"), QStringLiteral("打开视频文件"));
    addItem(file, QStringLiteral("N5"), QStringLiteral("-"));
    addItem(file, QStringLiteral("N6"), QStringLiteral("打开字幕文件"));
    addItem(file, QStringLiteral("N8"), QStringLiteral("-"));
    addItem(file, QStringLiteral("N9"), QStringLiteral("保存字幕文件"));
    QMenu* editing = top(QStringLiteral("EditMenu"), QStringLiteral("编辑"));
    addItem(editing, QStringLiteral("UndoItem"), QStringLiteral("撤销"));
    addItem(editing, QStringLiteral("RedoItem"), QStringLiteral("重做"));
    QMenu* look = top(QStringLiteral("N2"), QStringLiteral("界面"));
    addItem(look, QStringLiteral("N3"), QStringLiteral("预览框字体"));
    addItem(look, QStringLiteral("N7"), QStringLiteral("输入框字体"));
    addItem(look, QStringLiteral("N22"), QStringLiteral("列表框字体"));
    addItem(look, QStringLiteral("N23"), QStringLiteral("列表框行高"));
    QMenu* tools = top(QStringLiteral("N10"), QStringLiteral("工具"));
    addItem(tools, QStringLiteral("N11"), QStringLiteral("时间平移"));
    addItem(tools, QStringLiteral("N12"), QStringLiteral("时间缩放"));
    addItem(tools, QStringLiteral("N13"), QStringLiteral("-"));
    addItem(tools, QStringLiteral("N14"), QStringLiteral("分割字幕"));
    addItem(tools, QStringLiteral("N16"), QStringLiteral("合并字幕"));
    addItem(tools, QStringLiteral("N17"), QStringLiteral("-"));
    addItem(tools, QStringLiteral("N18"), QStringLiteral("字幕字体"));
    addItem(tools, QStringLiteral("SpeechSeparator"), QStringLiteral("-"));
    addItem(tools, QStringLiteral("SnapCurrentItem"), QStringLiteral("对齐语音（当前行）"));
    addItem(tools, QStringLiteral("SnapAllItem"), QStringLiteral("对齐语音（全部）"));
    addItem(tools, QStringLiteral("AlignCutsItem"), QStringLiteral("镜头对齐"));
    QMenu* help = top(QStringLiteral("N19"), QStringLiteral("帮助"));
    addItem(help, QStringLiteral("N20"), QStringLiteral("关于"));
    addItem(help, QStringLiteral("N21"), QStringLiteral("帮助"));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    addItem(PopupMenu1, QStringLiteral("N15"), QStringLiteral("删除"));
    DBGridEh1->setPopupMenu(PopupMenu1);
}

QAction* TSrtForm::menuItem(const QString& name) const {
    return findChild<QAction*>(name);
}

}  // namespace tirelle::app
