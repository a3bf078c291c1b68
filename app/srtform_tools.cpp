// The tools menu: every command ends capture mode and opens the tools window on its page.

#include <QAction>

#include "app/srtform.h"
#include "app/toolform.h"

namespace tirelle::app {

void TSrtForm::createToolForm() {
    ToolContext context;
    context.steps = &files_;
    context.stopCapture = [this] { StopCapture(); };
    context.status = status_.get();
    toolForm_ = new TToolForm(std::move(context), this);
    on(menuItem(QStringLiteral("N11")), &QAction::triggered, [this](bool) { N11Click(); });
    on(menuItem(QStringLiteral("N12")), &QAction::triggered, [this](bool) { N12Click(); });
    on(menuItem(QStringLiteral("N14")), &QAction::triggered, [this](bool) { N14Click(); });
    on(menuItem(QStringLiteral("N16")), &QAction::triggered, [this](bool) { N16Click(); });
    on(menuItem(QStringLiteral("N18")), &QAction::triggered, [this](bool) { N18Click(); });
}

void TSrtForm::N11Click() {
    toolForm_->showPage(0);
}

void TSrtForm::N12Click() {
    toolForm_->showPage(1);
}

void TSrtForm::N14Click() {
    toolForm_->showPage(2);
}

void TSrtForm::N16Click() {
    toolForm_->showPage(3);
}

void TSrtForm::N18Click() {
    toolForm_->showPage(4);
}

}  // namespace tirelle::app
