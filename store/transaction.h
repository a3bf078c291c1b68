#pragma once
// One explicit transaction on the store's connection, held by an object: it begins in the
// constructor and is rolled back in the destructor unless it was committed, so no early
// return or exception leaves one open. A process killed before the commit leaves the store as
// it was before the transaction. Begun while another transaction is open (an undo step around
// the work), it is a savepoint inside that one, and its commit leaves the final word to it.

#include <string>

namespace tirelle::store {

class Connection;

class Transaction {
public:
    // Begins the transaction. Errors are DatabaseError with errorPrefix in front ("Sub: ...").
    Transaction(Connection& connection, std::string errorPrefix);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Commits. Throws DatabaseError when the commit fails; the destructor then rolls back
    // whatever the engine still holds.
    void commit();
    // For a piece of work that failed part way: commits what was done before the failure, so
    // it stays as if every change had been written on its own. Returns false, without
    // throwing, when nothing of it is stored: the engine had already rolled the transaction
    // back by itself (a full disk, an I/O error), or the commit failed.
    bool commitWhatWasDone() noexcept;

    // True while the engine still holds this transaction open.
    bool open() const;

private:
    Connection& connection_;
    std::string errorPrefix_;
    bool nested_ = false;  // a savepoint inside a transaction begun by someone else
    bool done_ = false;
};

}  // namespace tirelle::store
