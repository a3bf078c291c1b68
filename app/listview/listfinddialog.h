#pragma once
// The list's find dialog `ListFindDialog`: one per run, made on the first Ctrl+F and kept, so
// its history, choices and check boxes last from one opening to the next. It only collects the
// choices; SearchList does the search.

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace tirelle::listview {

class SubtitleGrid;

class ListFindDialog : public QDialog {
    Q_OBJECT
public:
    // Opens the dialog of the run for `list` with `text` as the search text, modally; returns
    // when it is closed. Makes the dialog on first use, owned by the list's window.
    static void execute(SubtitleGrid& list, const QString& text);
    // The dialog of the run, or nullptr before the first opening.
    static ListFindDialog* instance();
    // The dialog of the run, made when needed.
    static ListFindDialog& ensure(QWidget* owner);

    // Everything of an opening but showing: hides the tree row, puts `text` into cbText,
    // rebuilds the column list, selects the list's current column, sets FirstTry.
    void prepare(SubtitleGrid& list, const QString& text);

    // --- controls, by their names, in keyboard order
    QLabel* Label1 = nullptr;
    QComboBox* cbText = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* cbFindIn = nullptr;
    QLabel* cbMatchType = nullptr;
    QComboBox* cbMatchinType = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* cbFindDirection = nullptr;
    QCheckBox* cbCharCase = nullptr;
    QCheckBox* cbUseFormat = nullptr;
    QPushButton* bFind = nullptr;
    QPushButton* bCancel = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* dbcTreeFindRange = nullptr;

    // True until a search succeeds after opening, or after the text, the direction or the
    // column choice changed.
    bool FirstTry = true;

    // --- handlers
    void bFindClick();  // reads whether Ctrl is held now
    void bCancelClick();
    void cbTextChange();
    void cbFindInChange();
    // Find with Ctrl held or not (Enter passes its own modifiers).
    void find(bool ctrl);

protected:
    // Enter and Escape for the whole dialog, before its controls see them.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit ListFindDialog(QWidget* parent);
    void buildControls();
    void watchKeys(QWidget* widget);

    QPointer<SubtitleGrid> list_;
    bool quiet_ = false;  // the program itself is changing the boxes
};

}  // namespace tirelle::listview
