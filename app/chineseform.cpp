#include "app/chineseform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/statusline.h"
#include "app/ui/guard.h"
#include "app/ui/scaling.h"
#include "app/ui/textcodec.h"
#include "chinese/conversion.h"
#include "chinese/storeconversion.h"
#include "store/dataset.h"

namespace tirelle::app {

TChineseForm::TChineseForm(ChineseContext context, QWidget* parent)
    : QDialog(parent), context_(context) {
    setObjectName(QStringLiteral("ChineseForm"));
    setWindowTitle(QStringLiteral("简繁转换"));
    setFont(ui::songti(9));
    setModal(true);

    ConversionBox = new QComboBox(this);
    ConversionBox->setObjectName(QStringLiteral("ConversionBox"));
    for (const chinese::Conversion& conversion : chinese::Conversions())
        ConversionBox->addItem(QString::fromUtf8(conversion.label.data(),
                                                 static_cast<qsizetype>(conversion.label.size())),
                               QString::fromLatin1(conversion.name.data(),
                                                   static_cast<qsizetype>(conversion.name.size())));
    CopyCheck = new QCheckBox(this);
    CopyCheck->setObjectName(QStringLiteral("CopyCheck"));
    StartButton = new QPushButton(QStringLiteral("开始处理"), this);
    StartButton->setObjectName(QStringLiteral("StartButton"));
    StartButton->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("转换"), ConversionBox);
    layout->addLayout(form);
    layout->addWidget(CopyCheck);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(StartButton);
    layout->addLayout(buttons);
    setMinimumWidth(ui::scaled(360));

    connect(ConversionBox, &QComboBox::currentIndexChanged, this, [this] { conversionChanged(); });
    connect(StartButton, &QPushButton::clicked, this,
            [this] { ui::guarded([this] { StartButtonClick(); }); });
    conversionChanged();
}

std::string TChineseForm::conversionName() const {
    return ConversionBox->currentData().toString().toStdString();
}

std::optional<std::string> TChineseForm::copyConversion() const {
    if (!CopyCheck->isChecked()) return std::nullopt;
    return conversionName();
}

void TChineseForm::conversionChanged() {
    const auto conversion = chinese::FindConversion(conversionName());
    const bool traditional = conversion && conversion->target == chinese::Script::Traditional;
    CopyCheck->setText(traditional ? QStringLiteral("同时另存为繁体")
                                   : QStringLiteral("同时另存为简体"));
}

void TChineseForm::StartButtonClick() {
    store::Dataset& sub = *context_.sub;
    if (sub.state() == store::DatasetState::Edit || sub.state() == store::DatasetState::Insert)
        sub.post();
    chinese::Converter& converter = chinese::CachedConverter(conversionName());
    const chinese::StoreConversion result =
        chinese::ConvertSubtitles(sub, converter, ui::codePage(), context_.history);
    QString message = QStringLiteral("已转换 %1 条字幕").arg(result.changed);
    if (result.replaced > 0)
        message += QStringLiteral("，%1 个字符无法用当前编码保存，已替换").arg(result.replaced);
    if (context_.status) context_.status->show(message);
    accept();
}

}  // namespace tirelle::app
