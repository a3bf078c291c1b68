#pragma once
// The about box `AboutForm`.

#include <QDialog>

namespace tirelle::app {

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);
};

extern TAboutForm* AboutForm;

}  // namespace tirelle::app
