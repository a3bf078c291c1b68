#pragma once
// The tools window `ToolForm`: created hidden at start-up and shown modally on demand.

#include <QDialog>

class QTabWidget;

namespace tirelle::app {

class TToolForm : public QDialog {
    Q_OBJECT
public:
    explicit TToolForm(QWidget* parent = nullptr);
    QTabWidget* PageControl1 = nullptr;
};

extern TToolForm* ToolForm;

}  // namespace tirelle::app
