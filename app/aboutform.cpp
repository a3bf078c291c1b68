#include "app/aboutform.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>

#include "app/ui/scaling.h"

namespace tirelle::app {

TAboutForm* AboutForm = nullptr;

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("关于"));
    setModal(true);
    // A fixed dialog frame with only the close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(ui::songti(9));
    setFixedSize(ui::scaled(301), ui::scaled(150));

    Label1 = new QLabel(QStringLiteral("Tirelle"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    {
        QPalette colours = Label1->palette();
        colours.setColor(QPalette::WindowText, QColor(0, 0, 128));  // navy
        Label1->setPalette(colours);
    }
    Label1->move(ui::scaled(24), ui::scaled(24));
    Label1->adjustSize();

    Label2 = new QLabel(QStringLiteral("您如果有啥意见建议，请EMail:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(ui::scaled(24), ui::scaled(56));
    Label2->adjustSize();

    // Reads as a label whose text can be selected and copied.
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(ui::scaled(24, 88, 209, 21));
    Edit1->setReadOnly(true);
    Edit1->setFrame(false);
    QPalette colours = Edit1->palette();
    colours.setColor(QPalette::Base, colours.color(QPalette::Button));
    Edit1->setPalette(colours);
}

QString TAboutForm::contactAddress() {
    return QStringLiteral("tirelle-feedback@example.org");
}

void TAboutForm::FormActivate() {
    Edit1->setText(contactAddress());
}

bool TAboutForm::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) FormActivate();
    return QDialog::event(event);
}

}  // namespace tirelle::app
