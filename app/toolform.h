#pragma once
// The tools window `ToolForm`: five pages of whole-store operations (shift, scale, split,
// merge, text wrap). It is created once with the main window and hidden between openings, so
// every box keeps its text. Its handlers read their boxes, call the tools library and show the
// result; the window reaches the store only through its context.
//   toolform.cpp         opening, the handlers
//   toolform_layout.cpp  building the pages and their controls

#include <QDialog>
#include <functional>

#include "app/ui/dialogs.h"
#include "srt/srtfile.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace tirelle::store {
class Dataset;
}
namespace tirelle::tools {
class FileSteps;
}

namespace tirelle::app {

class StatusLine;

// What the tools window works on: the file steps on the working dataset (which make each
// operation one undo step), the way to end capture mode in the main window and the status line
// that tells which encoding a merged file was read in (none: not told). Modal questions go
// through ui::dialogs().
struct ToolContext {
    tools::FileSteps* steps = nullptr;
    std::function<void()> stopCapture;
    StatusLine* status = nullptr;
};

class TToolForm : public QDialog {
    Q_OBJECT
public:
    explicit TToolForm(ToolContext context, QWidget* parent = nullptr);

    // Ends capture mode, makes `page` current and shows the window modally.
    void showPage(int page);

    // --- controls, by their names
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QWidget* TabSheet4 = nullptr;
    QWidget* TabSheet5 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLabel* Label6 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QLineEdit* Edit6 = nullptr;
    QPushButton* BitBtn5 = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* Edit5 = nullptr;
    QLabel* Label8 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QLabel* Label9 = nullptr;
    QLineEdit* Edit7 = nullptr;
    QLabel* Label10 = nullptr;
    QLineEdit* Edit8 = nullptr;
    QPushButton* BitBtn6 = nullptr;

    // The window's own dialogs and hidden line list.
    ui::FileDialog SaveDialog1;
    ui::FileDialog OpenDialog2;
    srt::LineList MemoF;

    // --- handlers
    void BitBtn1Click();   // time shift
    void TabSheet2Show();  // pre-fill of the scale page
    void BitBtn2Click();   // time scale
    void BitBtn3Click();   // split
    void BitBtn5Click();   // choose the file to merge
    void BitBtn4Click();   // merge
    void BitBtn6Click();   // text wrap

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildPages();
    void connectHandlers();
    // The end of every operation that did something: "ok", then the window closes.
    void finish();
    // Tells the status line what the tool did (UTF-8).
    void report(const std::string& utf8);
    store::Dataset& sub() const;

    ToolContext context_;
};

extern TToolForm* ToolForm;

}  // namespace tirelle::app
