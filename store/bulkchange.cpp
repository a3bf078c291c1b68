#include "store/bulkchange.h"

#include <new>

#include "store/errors.h"

namespace tirelle::store {

void RereadDataset(Dataset& dataset) noexcept {
    try {
        if (!dataset.active()) return;
        dataset.cancel();
        dataset.reload();
    } catch (const Error&) {
        dataset.close();
    } catch (const std::bad_alloc&) {
        dataset.close();
    }
}

}  // namespace tirelle::store
