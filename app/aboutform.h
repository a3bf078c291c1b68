#pragma once
// The about box `AboutForm`: the program's name and where to send ideas, in a read-only box
// whose address can be selected and copied. It has no button; its close box closes it.

#include <QDialog>

class QLabel;
class QLineEdit;

namespace tirelle::app {

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);

    // The address the box shows.
    static QString contactAddress();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Edit1 = nullptr;

    // Each time the box becomes the active window: the address into Edit1.
    void FormActivate();

protected:
    bool event(QEvent* event) override;
};

extern TAboutForm* AboutForm;

}  // namespace tirelle::app
