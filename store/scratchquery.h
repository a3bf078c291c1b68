#pragma once
// The scratch dataset `DSFind`: runs one ad-hoc SELECT at a time and keeps its rows until the
// next close. Values are read by column name (without regard to case) or by position.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tirelle::store {

class Connection;

class ScratchQuery {
public:
    using Value = std::variant<std::monostate, std::int64_t, double, std::string>;

    class FieldRef {
    public:
        FieldRef(const Value* value) : value_(value) {}
        bool isNull() const;
        double asFloat() const;          // a missing value reads as 0
        std::int32_t asInteger() const;  // a missing value reads as 0
        std::string asString() const;    // a missing value reads as ""
    private:
        const Value* value_;
    };

    explicit ScratchQuery(std::string name = "DSFind");

    void setConnection(Connection* connection) { connection_ = connection; }
    void setCommandText(std::string sql) { commandText_ = std::move(sql); }
    const std::string& commandText() const { return commandText_; }

    void open();   // runs the statement, reads every row; cursor on the first; throws DatabaseError
    void close();
    bool active() const { return active_; }

    bool isEmpty() const { return rows_.empty(); }
    void first();
    void next();
    bool eof() const { return eof_; }

    FieldRef fieldByName(std::string_view name) const;  // "DSFind: Field 'x' not found"
    FieldRef field(int index) const;                     // by position, from 0

private:
    void checkRow() const;

    std::string name_;
    Connection* connection_ = nullptr;
    std::string commandText_;
    bool active_ = false;
    std::vector<std::string> columns_;
    std::vector<std::vector<Value>> rows_;
    std::size_t current_ = 0;
    bool eof_ = true;
};

}  // namespace tirelle::store
