// The commands of the menus "界面" and "帮助": the three font commands with their one shared
// font dialog, the list's row lines, the help document and the about box.

#include <QLabel>
#include <QPlainTextEdit>

#include "app/aboutform.h"
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

bool TSrtForm::chooseFont() {
    // The dialog opens on its own font, the last one chosen by any of the three commands, never
    // on the font of the control about to change.
    const std::optional<ui::FontChoice> chosen = ui::dialogs().chooseFont(this, FontDialog1);
    if (!chosen) return false;
    FontDialog1 = *chosen;
    return true;
}

void TSrtForm::N3Click() {
    if (!chooseFont()) return;
    Label3->setFont(FontDialog1.font);
    setTextColour(Label3, FontDialog1.color);
}

void TSrtForm::N7Click() {
    if (!chooseFont()) return;
    Memo1->setFont(FontDialog1.font);
    setTextColour(Memo1, FontDialog1.color);
}

void TSrtForm::N22Click() {
    if (!chooseFont()) return;
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
}

void TSrtForm::N21Click() {
    const std::filesystem::path help = folder_ / "help.mht";
    ui::dialogs().openDocument(this, QString::fromStdString(help.string()));
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
