#include "app/ui/fontdialog.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>

namespace tirelle::ui {

namespace {

struct NamedColour {
    const char* name;
    QRgb rgb;
};

// The sixteen colours a font dialog traditionally offers.
constexpr NamedColour kColours[] = {
    {"黑色", 0x000000},   {"褐红色", 0x800000}, {"绿色", 0x008000},   {"橄榄色", 0x808000},
    {"深蓝色", 0x000080}, {"紫色", 0x800080},   {"深青色", 0x008080}, {"灰色", 0x808080},
    {"银色", 0xC0C0C0},   {"红色", 0xFF0000},   {"酸橙色", 0x00FF00}, {"黄色", 0xFFFF00},
    {"蓝色", 0x0000FF},   {"紫红色", 0xFF00FF}, {"水绿色", 0x00FFFF}, {"白色", 0xFFFFFF},
};

QIcon swatch(const QColor& colour) {
    QPixmap picture(16, 12);
    picture.fill(colour);
    return QIcon(picture);
}

// The colour row of the effects: a list of colours, the current one selected (added as
// "自定义" when it is none of them), and "其他颜色…" for any other.
class ColourChoice : public QObject {
public:
    ColourChoice(QFontDialog& dialog, const QColor& current) : QObject(&dialog), colour_(current) {
        QGroupBox* effects = nullptr;
        for (QGroupBox* group : dialog.findChildren<QGroupBox*>()) {
            if (!effects && group->findChild<QCheckBox*>()) effects = group;
            if (!sample_) sample_ = group->findChild<QLineEdit*>();
        }
        box_ = new QComboBox(effects ? static_cast<QWidget*>(effects) : &dialog);
        box_->setObjectName(QStringLiteral("colourChoice"));
        auto* caption = new QLabel(QStringLiteral("颜色(&C):"), box_->parentWidget());
        caption->setBuddy(box_);
        for (const NamedColour& named : kColours)
            box_->addItem(swatch(QColor(named.rgb)), QString::fromUtf8(named.name),
                          QColor(named.rgb));
        box_->addItem(QStringLiteral("其他颜色…"));
        select(current);
        if (effects && effects->layout()) {
            effects->layout()->addWidget(caption);
            effects->layout()->addWidget(box_);
        }
        connect(box_, &QComboBox::activated, this, [this](int index) { picked(index); });
        showInSample();
    }

    QColor colour() const { return colour_; }

private:
    int otherIndex() const { return box_->count() - 1; }

    void select(const QColor& colour) {
        int index = box_->findData(colour);
        if (index < 0 || index == otherIndex()) {
            // A colour of its own stays offered at the top.
            if (box_->itemText(0) == QStringLiteral("自定义")) box_->removeItem(0);
            box_->insertItem(0, swatch(colour), QStringLiteral("自定义"), colour);
            index = 0;
        }
        box_->setCurrentIndex(index);
    }

    void picked(int index) {
        if (index == otherIndex()) {
            const QColor other = QColorDialog::getColor(colour_, box_->window());
            if (other.isValid()) colour_ = other;
            select(colour_);
        } else {
            colour_ = box_->itemData(index).value<QColor>();
        }
        showInSample();
    }

    void showInSample() {
        if (!sample_) return;
        QPalette colours = sample_->palette();
        colours.setColor(QPalette::Text, colour_);
        sample_->setPalette(colours);
    }

    QColor colour_;
    QComboBox* box_ = nullptr;
    QLineEdit* sample_ = nullptr;
};

}  // namespace

std::optional<FontChoice> runFontDialog(QWidget* parent, const QString& title,
                                        const FontChoice& current) {
    QFontDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    dialog.setCurrentFont(current.font);
    auto* colour = new ColourChoice(dialog, current.color);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return FontChoice{dialog.selectedFont(), colour->colour()};
}

}  // namespace tirelle::ui
