#pragma once
// Errors of the core. Every message is the exact text the user sees in the error box.

#include <stdexcept>
#include <string>

namespace tirelle {

// Base of everything the core throws.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file could not be opened, read, created or written:
// "Cannot open file "%s". %s" / "Cannot create file "%s". %s".
class FileError : public Error {
public:
    using Error::Error;
};

}  // namespace tirelle
