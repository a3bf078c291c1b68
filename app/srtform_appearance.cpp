// The commands of the menus "界面" and "帮助": the three font commands with their one shared
// font dialog, the list's row lines, the help document and the about box.

#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>

#include "app/aboutform.h"
#include "app/helpform.h"
#include "app/listview/subtitlegrid.h"
#include "app/srtform.h"
#include "app/ui/textcodec.h"
#include "base/integertext.h"

namespace tirelle::app {

namespace {

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette colours = widget->palette();
    colours.setColor(QPalette::WindowText, colour);
    colours.setColor(QPalette::Text, colour);
    widget->setPalette(colours);
}

}  // namespace

bool TSrtForm::chooseFont(const QString& title, const ui::FontChoice& target) {
    // The dialog opens on the font and colour of the control about to change, so what the user
    // leaves alone there stays as it was. FontDialog1 keeps the last choice.
    const std::optional<ui::FontChoice> chosen = ui::dialogs().chooseFont(this, title, target);
    if (!chosen) return false;
    FontDialog1 = *chosen;
    ShowStatus(title + QStringLiteral("：") + FontDialog1.font.family());
    return true;
}

void TSrtForm::N3Click() {
    if (!chooseFont(QStringLiteral("字幕预览字体"),
                    {Label3->font(), Label3->palette().color(QPalette::WindowText)}))
        return;
    Label3->setFont(FontDialog1.font);
    setTextColour(Label3, FontDialog1.color);
}

void TSrtForm::N7Click() {
    if (!chooseFont(QStringLiteral("字幕输入框字体"),
                    {Memo1->font(), Memo1->palette().color(QPalette::Text)}))
        return;
    Memo1->setFont(FontDialog1.font);
    setTextColour(Memo1, FontDialog1.color);
}

void TSrtForm::N22Click() {
    if (!chooseFont(QStringLiteral("列表框字体"), {DBGridEh1->listFont(), DBGridEh1->listColor()}))
        return;
    // Cells and editor only; the title row keeps its font.
    DBGridEh1->setListFont(FontDialog1.font);
    DBGridEh1->setListColor(FontDialog1.color);
}

void TSrtForm::N23Click() {
    // "3" is offered whatever the current value, and Cancel also gives three lines.
    const QString answer =
        ui::dialogs()
            .inputText(this, QStringLiteral("请输入"), QStringLiteral("行高"), QStringLiteral("3"))
            .value_or(QStringLiteral("3"));
    DBGridEh1->setRowLines(ParseInteger(ui::fromQString(answer)).value_or(3));
    ShowStatus(QStringLiteral("列表行高：%1 行").arg(DBGridEh1->rowLines()));
}

void TSrtForm::N21Click() {
    const QString help = QString::fromStdString((folder_ / "help.mht").string());
    if (!QFileInfo(help).isFile()) {
        ShowStatus(QStringLiteral("没有找到帮助文件：") + help);
        return;
    }
    ShowStatus(QStringLiteral("打开帮助：help.mht"));
    // Most desktops have no program for MHTML: the program's own window shows it then.
    ui::dialogs().openDocument(this, help, [this, help] {
        ui::guarded([&] {
            if (!helpForm_) helpForm_ = new THelpForm(this);
            if (helpForm_->showDocument(help))
                ShowStatus(QStringLiteral("帮助已在程序的帮助窗口中打开"));
            else
                ShowStatus(QStringLiteral("无法读取帮助文件：") + help);
        });
    });
}

void TSrtForm::N20Click() {
    // A fresh box each time, gone when it closes; the global points back at the box it pointed
    // at before, so it never refers to a destroyed one.
    TAboutForm* const before = AboutForm;
    TAboutForm box(nullptr);
    AboutForm = &box;
    box.exec();
    AboutForm = before;
}

}  // namespace tirelle::app
