#pragma once
// The small window of 简繁转换: the conversion chosen by name, "开始处理" converting every
// subtitle of the store as one undo step, and the choice that makes every save also write the
// converted copy beside the file (name.cht.srt or name.chs.srt). Made once with the main window
// and hidden between openings, so the choice stays.

#include <QDialog>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QPushButton;

namespace tirelle::store {
class Dataset;
class History;
}  // namespace tirelle::store

namespace tirelle::app {

class StatusLine;

struct ChineseContext {
    store::Dataset* sub = nullptr;
    store::History* history = nullptr;
    StatusLine* status = nullptr;
};

class TChineseForm : public QDialog {
    Q_OBJECT
public:
    explicit TChineseForm(ChineseContext context, QWidget* parent = nullptr);

    QComboBox* ConversionBox = nullptr;  // the ten conversions, by their labels
    QCheckBox* CopyCheck = nullptr;      // "同时另存为繁体" / "同时另存为简体"
    QPushButton* StartButton = nullptr;  // "开始处理"

    // The configuration chosen ("s2twp").
    std::string conversionName() const;
    // The conversion every save also writes a copy with; nothing when the choice is off.
    std::optional<std::string> copyConversion() const;

    void StartButtonClick();

private:
    void conversionChanged();

    ChineseContext context_;
};

}  // namespace tirelle::app
