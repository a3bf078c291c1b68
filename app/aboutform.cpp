#include "app/aboutform.h"

namespace tirelle::app {

TAboutForm* AboutForm = nullptr;

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("关于"));
    setModal(true);
}

}  // namespace tirelle::app
