// A requery after changes that only this dataset made orders the rows in memory; after any
// other change it reads the table. Either way it must give exactly what a reading gives.

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "base/errors.h"
#include "store/bulkchange.h"
#include "store/command.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/errors.h"
#include "store/statements.h"
#include "tests/support/tempfolder.h"

namespace tirelle::store {
namespace {

// The steps below reach into the fixture, so its members are public.
class RequeryTest : public ::testing::Test {
public:
    void SetUp() override {
        connection.open(folder.path());
        open(sub, connection);
        other.open(folder.path());
    }

    static void open(Dataset& dataset, Connection& on) {
        dataset.setConnection(&on);
        dataset.setCommandText(kSelectAllSql);
        dataset.open();
    }

    // Every row with every value, in the dataset's order.
    static std::vector<std::string> rows(const Dataset& dataset) {
        std::vector<std::string> result;
        for (int i = 0; i < dataset.rowCount(); ++i) {
            const SubRecord& r = dataset.rowAt(i);
            result.push_back(std::to_string(r.aid) + "|" + r.STime + "|" + r.ETime + "|" +
                             r.SubText + "|" + std::to_string(r.SubSort) + "|" +
                             std::to_string(r.SubSortEnd) + "|" + std::to_string(r.nulls));
        }
        return result;
    }

    // The requery must show what a fresh reading on another connection shows.
    void expectAsStored(const std::string& when) {
        sub.requery();
        Dataset fresh;
        open(fresh, other);
        ASSERT_EQ(rows(fresh), rows(sub)) << when;
        EXPECT_EQ(sub.rowCount() > 0 ? 0 : -1, sub.currentRow()) << when;
    }

    void post(const std::string& start, const std::string& text) {
        sub.append();
        sub.fieldByName("STime").setAsString(start);
        sub.fieldByName("ETime").setAsString("00:00:09,000");
        sub.fieldByName("SubText").setAsString(text);
        sub.post();
    }

    testing::TempFolder folder;
    Connection connection;
    Connection other;
    Dataset sub;
};

// Starts with few distinct values, so equal keys are common.
std::string RandomStart(std::mt19937& g) {
    const int second = std::uniform_int_distribution<int>(0, 6)(g);
    if (second == 6) return "unreadable";
    return "00:00:0" + std::to_string(second) + ",000";
}

struct Step {
    const char* name;
    std::function<void(RequeryTest&, Dataset&, std::mt19937&)> run;
};

TEST_F(RequeryTest, EveryKindOfChangeGivesWhatAReadingGives) {
    const std::vector<Step> steps = {
        {"appends out of order",
         [](RequeryTest& t, Dataset&, std::mt19937& g) {
             for (int i = 0; i < 20; ++i) t.post(RandomStart(g), "a" + std::to_string(i));
         }},
        {"an edited start",
         [](RequeryTest&, Dataset& sub, std::mt19937& g) {
             sub.moveBy(std::uniform_int_distribution<int>(0, sub.rowCount())(g));
             sub.edit();
             sub.fieldByName("STime").setAsString(RandomStart(g));
             sub.post();
         }},
        {"an insert in the middle",
         [](RequeryTest&, Dataset& sub, std::mt19937& g) {
             sub.moveBy(std::uniform_int_distribution<int>(0, sub.rowCount())(g));
             sub.insert();
             sub.fieldByName("STime").setAsString(RandomStart(g));
             sub.post();
         }},
        {"a delete",
         [](RequeryTest&, Dataset& sub, std::mt19937& g) {
             sub.moveBy(std::uniform_int_distribution<int>(0, sub.rowCount())(g));
             if (!sub.isEmpty()) sub.remove();
         }},
        {"a row from another connection",
         [](RequeryTest& t, Dataset&, std::mt19937&) {
             t.other.execute(
                 "insert into Sub (STime, ETime, SubText, SubSort, SubSortEnd) "
                 "values ('x', 'y', 'theirs', 3, 4)",
                 "test");
         }},
        {"a row with a text key from another connection",
         [](RequeryTest& t, Dataset&, std::mt19937&) {
             t.other.execute("insert into Sub (SubText, SubSort) values ('text key', 'abc')",
                             "test");
         }},
        {"a statement on the same connection",
         [](RequeryTest& t, Dataset&, std::mt19937&) {
             t.connection.execute("update Sub set SubText = 'changed' where aid % 3 = 0", "test");
         }},
        {"the command emptying the table",
         [](RequeryTest& t, Dataset&, std::mt19937&) {
             Command command;
             command.setConnection(&t.connection);
             command.setCommandText(kDeleteAllSql);
             command.execute();
         }},
        {"posts rolled back with their transaction",
         [](RequeryTest& t, Dataset&, std::mt19937& g) {
             t.connection.execute("begin", "test");
             t.post(RandomStart(g), "rolled back");
             t.connection.execute("rollback", "test");
         }},
        {"many appends written together, one of them refused or none",
         [](RequeryTest& t, Dataset& sub, std::mt19937& g) {
             // On numeric keys alone, so that the rows in memory can stand for the table.
             t.connection.execute("delete from Sub where typeof(SubSort) = 'text'", "test");
             sub.requery();
             const bool refuse = std::bernoulli_distribution(0.5)(g);
             if (refuse)
                 t.connection.execute(
                     "create temp trigger refuse before insert on Sub when new.SubText = 'b200' "
                     "begin select raise(abort, 'refused'); end",
                     "test");
             try {
                 BatchedAppends batch(sub);
                 for (int i = 0; i < 300; ++i) t.post(RandomStart(g), "b" + std::to_string(i));
                 batch.finish();
             } catch (const DatabaseError&) {
                 sub.cancel();  // the refused row, back as the pending one
             }
             t.connection.execute("drop trigger if exists temp.refuse", "test");
         }},
        {"a bulk change that fails half way",
         [](RequeryTest& t, Dataset& sub, std::mt19937& g) {
             try {
                 RunBulkChange(t.connection, sub, [&] {
                     t.post(RandomStart(g), "kept");
                     throw Error("stop");
                 });
             } catch (const Error&) {
             }
         }},
    };
    std::mt19937 generator(7);
    for (int round = 0; round < 40; ++round) {
        const Step& step =
            steps[std::uniform_int_distribution<std::size_t>(0, steps.size() - 1)(generator)];
        step.run(*this, sub, generator);
        expectAsStored(std::string("round ") + std::to_string(round) + ": " + step.name);
        // A second requery with nothing changed in between gives the same again.
        expectAsStored(std::string("again after ") + step.name);
    }
}

}  // namespace
}  // namespace tirelle::store
