#include "store/dataset.h"

#include "base/timecode.h"
#include "store/fieldvalue.h"

namespace tirelle::store {

using namespace fieldvalue;

std::string Field::asString() const {
    const SubRecord& record = dataset_->currentValues();
    if (record.isNull(column_)) return std::string();
    if (IsText(column_)) return TextOf(record, column_);
    if (column_ == Column::Aid) return std::to_string(record.aid);
    return SecondsToNumberText(NumberOf(record, column_));
}

double Field::asFloat() const {
    const SubRecord& record = dataset_->currentValues();
    if (record.isNull(column_)) return 0;
    if (!IsText(column_)) return NumberOf(record, column_);
    double value = 0;
    ReadNumber(TextOf(record, column_), value);
    return value;
}

std::int32_t Field::asInteger() const {
    const SubRecord& record = dataset_->currentValues();
    if (record.isNull(column_)) return 0;
    if (column_ == Column::Aid) return static_cast<std::int32_t>(record.aid);
    return TruncateToInt32(asFloat());
}

bool Field::isNull() const {
    return dataset_->currentValues().isNull(column_);
}

void Field::setAsString(std::string_view value) {
    dataset_->setText(column_, value);
}

void Field::setAsFloat(double value) {
    dataset_->setValue(column_, value);
}

}  // namespace tirelle::store
