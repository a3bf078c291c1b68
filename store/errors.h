#pragma once
// Errors of the store, on top of the core's own.

#include <string>

#include "base/errors.h"

namespace tirelle {

// A statement, post, delete or cursor operation failed; the message starts with the
// dataset's name: "Sub: ...".
class DatabaseError : public Error {
public:
    using Error::Error;
};

// "Sub: ..." with the dataset's name in front (the "%s: %s" form).
inline DatabaseError datasetError(const std::string& datasetName, const std::string& message) {
    return DatabaseError(datasetName + ": " + message);
}

}  // namespace tirelle
