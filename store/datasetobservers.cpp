#include "store/dataset.h"

#include <algorithm>

namespace tirelle::store {

void Dataset::addObserver(DatasetObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void Dataset::removeObserver(DatasetObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

namespace {

// Observers may add or remove observers while notified: each call walks a copy and skips
// those removed meanwhile.
template <typename Call>
void Notify(const std::vector<DatasetObserver*>& observers, Call call) {
    if (observers.empty()) return;
    if (observers.size() == 1) {  // the usual case: the list alone, no copy needed
        call(*observers.front());
        return;
    }
    for (DatasetObserver* observer : std::vector(observers))
        if (std::find(observers.begin(), observers.end(), observer) != observers.end())
            call(*observer);
}

}  // namespace

void Dataset::disableControls() {
    ++disableCount_;
}

void Dataset::enableControls() {
    if (disableCount_ == 0) return;
    // What changed meanwhile has been counted already.
    if (--disableCount_ == 0) Notify(observers_, [](auto& o) { o.datasetChanged(); });
}

void Dataset::notifyChanged() {
    ++contentVersion_;
    if (!controlsDisabled()) Notify(observers_, [](auto& o) { o.datasetChanged(); });
}

void Dataset::notifyCurrent(bool centre) {
    if (!controlsDisabled()) Notify(observers_, [=](auto& o) { o.currentChanged(centre); });
}

void Dataset::notifyRow(int row) {
    ++contentVersion_;
    if (!controlsDisabled()) Notify(observers_, [=](auto& o) { o.rowChanged(row); });
}

void Dataset::notifyRemoved(int row, std::int64_t aid) {
    ++contentVersion_;
    if (!controlsDisabled()) Notify(observers_, [=](auto& o) { o.rowRemoved(row, aid); });
}

void Dataset::notifyState() {
    if (!controlsDisabled()) Notify(observers_, [](auto& o) { o.stateChanged(); });
}

void Dataset::notifyUpdateRecord() {
    Notify(observers_, [](auto& o) { o.updateRecord(); });
}

}  // namespace tirelle::store
