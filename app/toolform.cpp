#include "app/toolform.h"

#include <QTabWidget>
#include <QVBoxLayout>

namespace tirelle::app {

TToolForm* ToolForm = nullptr;

TToolForm::TToolForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ToolForm"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    layout->addWidget(PageControl1);
}

}  // namespace tirelle::app
