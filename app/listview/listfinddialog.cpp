#include "app/listview/listfinddialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <cmath>

#include "app/listview/searchlist.h"
#include "app/listview/subtitlegrid.h"
#include "app/ui/guard.h"
#include "app/ui/scaling.h"
#include "app/ui/textcodec.h"

namespace tirelle::listview {

namespace {

// The dialog is designed at 96 pixels per inch and scales with the screen like the others.
int px(int designPixels) {
    return static_cast<int>(std::lround(designPixels * ui::screenDpi() / 96.0));
}

QPointer<ListFindDialog>& theDialog() {
    static QPointer<ListFindDialog> dialog;
    return dialog;
}

const QString kAllColumns = QStringLiteral("<全部>");
constexpr int kNoColumn = -1;

}  // namespace

ListFindDialog::ListFindDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ListFindDialog"));
    setWindowTitle(QStringLiteral("查找文本"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    // "Tahoma" where it is installed; the Chinese captions need a CJK face behind it.
    QFont face(QStringLiteral("Tahoma"));
    face.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("宋体")});
    face.setPixelSize(px(11));
    setFont(face);
    buildControls();
    setFixedSize(px(505), px(160));
}

ListFindDialog* ListFindDialog::instance() {
    return theDialog();
}

ListFindDialog& ListFindDialog::ensure(QWidget* owner) {
    if (!theDialog()) theDialog() = new ListFindDialog(owner);
    return *theDialog();
}

void ListFindDialog::execute(SubtitleGrid& list, const QString& text) {
    ListFindDialog& dialog = ensure(list.window());
    dialog.prepare(list, text);
    // Centred on the screen the list is on.
    if (QScreen* screen = list.screen())
        dialog.move(screen->availableGeometry().center() - dialog.rect().center());
    dialog.exec();
}

void ListFindDialog::buildControls() {
    auto label = [&](const QString& name, const QString& text, int x, int y) {
        auto* caption = new QLabel(text, this);
        caption->setObjectName(name);
        caption->move(px(x), px(y));
        caption->adjustSize();
        return caption;
    };
    auto combo = [&](const QString& name, int x, int y, int w, int h) {
        auto* box = new QComboBox(this);
        box->setObjectName(name);
        box->setGeometry(px(x), px(y), px(w), px(h));
        return box;
    };
    auto check = [&](const QString& name, const QString& text, int x, int y, int w, int h) {
        auto* box = new QCheckBox(text, this);
        box->setObjectName(name);
        box->setGeometry(px(x), px(y), px(w), px(h));
        return box;
    };
    auto button = [&](const QString& name, const QString& text, int x, int y, int w, int h) {
        auto* push = new QPushButton(text, this);
        push->setObjectName(name);
        push->setGeometry(px(x), px(y), px(w), px(h));
        push->setAutoDefault(false);  // Enter is the dialog's own (find)
        return push;
    };

    Label1 = label(QStringLiteral("Label1"), QStringLiteral("查找内容(&N)："), 10, 18);
    cbText = combo(QStringLiteral("cbText"), 88, 15, 309, 21);
    cbText->setEditable(true);
    cbText->setInsertPolicy(QComboBox::NoInsert);  // the history is kept by Find
    cbText->setCompleter(nullptr);                 // a typed text is searched as typed
    cbText->setMaxVisibleItems(17);
    Label2 = label(QStringLiteral("Label2"), QStringLiteral("查找范围(&I)："), 13, 47);
    cbFindIn = combo(QStringLiteral("cbFindIn"), 88, 44, 192, 21);
    cbMatchType = label(QStringLiteral("cbMatchType"), QStringLiteral("匹配方式(&H)："), 10, 76);
    cbMatchinType = combo(QStringLiteral("cbMatchinType"), 88, 73, 144, 21);
    cbMatchinType->addItems(
        {QStringLiteral("任意匹配"), QStringLiteral("完全匹配"), QStringLiteral("起始匹配")});
    Label3 = label(QStringLiteral("Label3"), QStringLiteral("搜索方向(&R)："), 10, 106);
    cbFindDirection = combo(QStringLiteral("cbFindDirection"), 88, 103, 144, 21);
    cbFindDirection->addItems(
        {QStringLiteral("向上"), QStringLiteral("向下"), QStringLiteral("全部")});
    cbFindDirection->setCurrentIndex(2);
    cbCharCase = check(QStringLiteral("cbCharCase"), QStringLiteral("区分大小写(&C)"), 88, 135,
                       144, 14);
    cbUseFormat = check(QStringLiteral("cbUseFormat"), QStringLiteral("匹配格式化结果(&O)"), 254,
                        135, 144, 14);
    cbUseFormat->setChecked(true);
    bFind = button(QStringLiteral("bFind"), QStringLiteral("查找(&F)"), 413, 15, 82, 23);
    bCancel = button(QStringLiteral("bCancel"), QStringLiteral("关闭(&X)"), 413, 43, 82, 22);
    // The tree row belongs to tree-shaped data and is never shown here.
    Label4 = label(QStringLiteral("Label4"), QStringLiteral("在树中查找："), 10, 163);
    dbcTreeFindRange = combo(QStringLiteral("dbcTreeFindRange"), 88, 160, 192, 21);
    Label4->hide();
    dbcTreeFindRange->hide();

    Label1->setBuddy(cbText);
    Label2->setBuddy(cbFindIn);
    cbMatchType->setBuddy(cbMatchinType);
    Label3->setBuddy(cbFindDirection);
    QWidget* order[] = {cbText,     cbFindIn,    cbMatchinType, cbFindDirection,
                        cbCharCase, cbUseFormat, bFind,         bCancel};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    connect(bFind, &QPushButton::clicked, this, [this] { ui::guarded([this] { bFindClick(); }); });
    connect(bCancel, &QPushButton::clicked, this, [this] { bCancelClick(); });
    connect(cbText, &QComboBox::editTextChanged, this, [this] {
        if (!quiet_) cbTextChange();
    });
    connect(cbFindDirection, &QComboBox::currentIndexChanged, this, [this] {
        if (!quiet_) cbTextChange();
    });
    connect(dbcTreeFindRange, &QComboBox::currentIndexChanged, this, [this] {
        if (!quiet_) cbTextChange();
    });
    connect(cbFindIn, &QComboBox::currentIndexChanged, this, [this] {
        if (!quiet_) cbFindInChange();
    });
    watchKeys(this);
}

void ListFindDialog::watchKeys(QWidget* widget) {
    widget->installEventFilter(this);
    for (QWidget* child : widget->findChildren<QWidget*>()) {
        // An open drop-down list is a window of its own and keeps Enter for itself.
        if (child->window() != this) continue;
        child->installEventFilter(this);
    }
}

void ListFindDialog::prepare(SubtitleGrid& list, const QString& text) {
    quiet_ = true;
    Label4->hide();
    dbcTreeFindRange->hide();
    setFixedSize(px(505), px(160));
    list_ = &list;
    cbText->setEditText(text);
    cbFindIn->clear();
    for (int place = 0; place < SubtitleGrid::kColumnCount; ++place)
        cbFindIn->addItem(list.columnTitle(place), static_cast<int>(list.columnField(place)));
    cbFindIn->addItem(kAllColumns, kNoColumn);
    cbFindIn->setCurrentIndex(cbFindIn->findText(list.columnTitle(list.currentColumn())));
    quiet_ = false;
    FirstTry = true;
    cbText->setFocus();
    cbText->lineEdit()->selectAll();
}

void ListFindDialog::bFindClick() {
    find(QGuiApplication::keyboardModifiers() & Qt::ControlModifier);
}

void ListFindDialog::find(bool ctrl) {
    const QString text = cbText->currentText();
    bool known = false;
    for (int i = 0; i < cbText->count() && !known; ++i)
        known = cbText->itemText(i).compare(text, Qt::CaseInsensitive) == 0;
    if (!known) {
        // Adding the first item may write it back into the edit box: no change of the text.
        quiet_ = true;
        cbText->addItem(text);
        cbText->setEditText(text);
        quiet_ = false;
    }
    if (!list_ || !list_->dataset() || !list_->dataset()->active()) return;

    SearchOptions options;
    options.caseInsensitive = !cbCharCase->isChecked();
    // cbUseFormat (the text the cell shows) needs nothing: every column of the list shows
    // its stored text as it is.
    const int chosen = cbFindIn->currentIndex() < 0 ? kNoColumn : cbFindIn->currentData().toInt();
    options.allColumns = cbFindIn->currentText() == kAllColumns;
    std::optional<store::Column> column;
    if (chosen != kNoColumn) column = static_cast<store::Column>(chosen);

    const QString way = cbFindDirection->currentText();
    SearchDirection direction = way == QStringLiteral("向上")   ? SearchDirection::Up
                                : way == QStringLiteral("向下") ? SearchDirection::Down
                                                                : SearchDirection::All;
    if (ctrl)
        direction = direction == SearchDirection::Down ? SearchDirection::Up
                    : direction == SearchDirection::Up ? SearchDirection::Down
                                                       : SearchDirection::Up;
    if (!FirstTry && direction == SearchDirection::All) direction = SearchDirection::Down;

    const QString kind = cbMatchinType->currentText();
    const MatchKind match = kind == QStringLiteral("完全匹配")   ? MatchKind::WholeCell
                            : kind == QStringLiteral("起始匹配") ? MatchKind::Beginning
                                                                 : MatchKind::AnyPart;
    if (SearchList(*list_, column, ui::fromDisplay(text), options, direction, match))
        FirstTry = false;
}

void ListFindDialog::bCancelClick() {
    reject();
}

void ListFindDialog::cbTextChange() {
    FirstTry = true;
}

void ListFindDialog::cbFindInChange() {
    FirstTry = true;
}

bool ListFindDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            const bool ctrl = key->modifiers() & Qt::ControlModifier;
            ui::guarded([&] { find(ctrl); });
            return true;
        }
        case Qt::Key_Escape:
            bCancelClick();
            return true;
        default:
            return QDialog::eventFilter(watched, event);
    }
}

}  // namespace tirelle::listview
