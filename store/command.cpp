#include "store/command.h"

#include "store/connection.h"
#include "store/errors.h"

namespace tirelle::store {

void Command::execute() {
    if (!connection_) throw datasetError(name_, kConnectionClosedMessage);
    connection_->execute(commandText_, name_);
    // The statement may have removed the rows that set the bound on the longest duration.
    connection_->recomputeSpanBound(name_);
}

}  // namespace tirelle::store
