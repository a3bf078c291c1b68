#pragma once
// The command object `ADOCmd`: runs one statement that gives no result.

#include <string>

namespace tirelle::store {

class Connection;

class Command {
public:
    explicit Command(std::string name = "ADOCmd") : name_(std::move(name)) {}
    void setConnection(Connection* connection) { connection_ = connection; }
    void setCommandText(std::string sql) { commandText_ = std::move(sql); }
    const std::string& commandText() const { return commandText_; }
    void execute();  // throws DatabaseError

private:
    std::string name_;
    Connection* connection_ = nullptr;
    std::string commandText_;
};

}  // namespace tirelle::store
