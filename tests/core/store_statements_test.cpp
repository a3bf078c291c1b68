// The preview statements: their text, and the bounded form of the active-subtitles statement
// giving exactly the rows, in exactly the order, of the plain one on all kinds of data.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "base/timecode.h"
#include "base/errors.h"
#include "store/bulkchange.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/scratchquery.h"
#include "store/statements.h"
#include "tests/support/tempfolder.h"

namespace tirelle::store {
namespace {

struct TextCase {
    double position;
    std::string number;
};

TEST(StoreStatements, NumbersAreWrittenAsNumberTexts) {
    const std::vector<TextCase> cases = {
        {12.5, "12.5"}, {0, "0"}, {0.00005, "5E-5"}, {3600.04, "3600.04"}};
    for (const TextCase& c : cases) {
        const std::string p = c.number;
        const std::string active = ActiveSubtitlesSql(c.position);
        const std::string head = "SELECT * from sub where SubSort<" + p + " and SubSortEnd>" + p;
        EXPECT_EQ(head, active.substr(0, head.size()));
        const std::string tail = " order by SubSort Desc";
        ASSERT_GT(active.size(), tail.size());
        EXPECT_EQ(tail, active.substr(active.size() - tail.size()));
        EXPECT_EQ("SELECT max(SubSort)  from sub where SubSort<=" + p, LatestStartSql(c.position));
    }
}

class PreviewStatements : public ::testing::Test {
protected:
    void SetUp() override { connection.open(folder.path()); }

    void exec(const std::string& sql) { connection.execute(sql, "test"); }

    // Inserts a row with the given numbers (NaN stands for NULL), as the datasets do.
    void insert(double start, double end) {
        Statement insert(connection.handle(),
                         "insert into Sub (STime, ETime, SubText, SubSort, SubSortEnd) "
                         "values ('', '', 'x', ?1, ?2)",
                         "test");
        if (std::isnan(start))
            insert.bindNull(1);
        else
            insert.bindDouble(1, start);
        if (std::isnan(end))
            insert.bindNull(2);
        else
            insert.bindDouble(2, end);
        insert.step();
    }

    std::vector<std::int64_t> aids(const std::string& sql) {
        ScratchQuery query;
        query.setConnection(&connection);
        query.setCommandText(sql);
        query.open();
        std::vector<std::int64_t> result;
        for (query.first(); !query.eof(); query.next())
            result.push_back(query.fieldByName("aid").asInteger());
        return result;
    }

    // Every start and end, their neighbours, the midpoints and a few fixed points.
    std::vector<double> positions() {
        ScratchQuery query;
        query.setConnection(&connection);
        query.setCommandText(
            "select SubSort from Sub where typeof(SubSort) = 'real' union "
            "select SubSortEnd from Sub where typeof(SubSortEnd) = 'real'");
        query.open();
        std::vector<double> points = {0, -1, 1, 0.00005, 1e6, -1e6};
        for (query.first(); !query.eof(); query.next()) {
            const double v = query.field(0).asFloat();
            if (!std::isfinite(v)) continue;
            points.insert(points.end(), {v, std::nextafter(v, -INFINITY),
                                         std::nextafter(v, INFINITY), v + 0.0005, v - 0.0005});
        }
        return points;
    }

    void expectSameRows(const std::string& when) {
        int compared = 0;
        for (const double p : positions()) {
            const std::string n = SecondsToNumberText(p);
            const std::string plain = "SELECT * from sub where SubSort<" + n + " and SubSortEnd>" +
                                      n + " order by SubSort Desc";
            ASSERT_EQ(aids(plain), aids(ActiveSubtitlesSql(p))) << when << " at " << n;
            ++compared;
        }
        EXPECT_GT(compared, 10) << when;
    }

    testing::TempFolder folder;
    Connection connection;
};

struct DataCase {
    const char* name;
    std::function<void(std::mt19937&, std::vector<std::pair<double, double>>&)> make;
    std::string foreignSql;  // rows another program wrote, with values of any type
};

const std::vector<DataCase> kDataCases = {
    {"typical subtitles",
     [](std::mt19937& g, auto& rows) {
         std::uniform_real_distribution<double> start(0, 600), length(0.5, 6);
         for (int i = 0; i < 300; ++i) {
             const double s = start(g);
             rows.push_back({s, s + length(g)});
         }
     },
     ""},
    {"overlaps and equal starts",
     [](std::mt19937& g, auto& rows) {
         std::uniform_int_distribution<int> slot(0, 12);
         std::uniform_real_distribution<double> length(0, 30);
         for (int i = 0; i < 150; ++i) {
             const double s = slot(g) * 2.5;
             rows.push_back({s, s + (i % 7 == 0 ? 0 : length(g))});
         }
     },
     ""},
    {"negative and zero times",
     [](std::mt19937& g, auto& rows) {
         std::uniform_real_distribution<double> start(-50, 50), length(-5, 20);
         for (int i = 0; i < 150; ++i) {
             double s = start(g);
             if (i % 5 == 0) s = 0;
             double e = s + length(g);
             if (i % 9 == 0) e = 0;
             rows.push_back({s, e});
         }
     },
     ""},
    {"one long subtitle among short ones",
     [](std::mt19937& g, auto& rows) {
         std::uniform_real_distribution<double> start(0, 5000), length(1, 4);
         for (int i = 0; i < 200; ++i) {
             const double s = start(g);
             rows.push_back({s, s + length(g)});
         }
         rows.push_back({1234.5, 1234.5 + 10000});
     },
     ""},
    {"huge times",
     [](std::mt19937& g, auto& rows) {
         // Rows a few units in the last place around a position that a number text can hold.
         const double base = 3.60000000000001e18;
         std::uniform_int_distribution<int> step(0, 40);
         for (int i = 0; i < 100; ++i) {
             double s = base, e = base;
             for (int k = step(g); k > 0; --k) s = std::nextafter(s, -INFINITY);
             for (int k = step(g); k > 0; --k) e = std::nextafter(e, INFINITY);
             rows.push_back({s, e});
         }
     },
     ""},
    {"spans that lose digits",
     [](std::mt19937& g, auto& rows) {
         // SubSortEnd - SubSort rounds down here: 127 + 2^60 is 2^60, so without a margin
         // the start would lie just below the bound at 126.9995.
         rows.push_back({-1152921504606846976.0, 127});
         std::uniform_real_distribution<double> end(0, 200);
         for (int i = 0; i < 50; ++i) rows.push_back({-std::ldexp(1.0, 40 + i % 20), end(g)});
     },
     ""},
    {"values of other types",
     [](std::mt19937& g, auto& rows) {
         std::uniform_real_distribution<double> start(0, 100), length(0, 3);
         for (int i = 0; i < 100; ++i) {
             const double s = start(g);
             rows.push_back({s, s + length(g)});
         }
         rows.push_back({NAN, 50});
         rows.push_back({20, NAN});
     },
     // A text end compares above every number: that row is active everywhere after 30.
     "insert into Sub (SubSort, SubSortEnd) values (30, 'zzz'), ('abc', 60), (40, x'00'), "
     "(45, 47), (9e999, 9e999), (-9e999, 5), (-9e999, -9e999)"},
};

TEST_F(PreviewStatements, BoundedFormGivesExactlyThePlainRows) {
    std::mt19937 generator(20240611);
    for (const DataCase& c : kDataCases) {
        exec("delete from Sub");
        std::vector<std::pair<double, double>> rows;
        c.make(generator, rows);
        for (const auto& [start, end] : rows) insert(start, end);
        if (!c.foreignSql.empty()) exec(c.foreignSql);
        expectSameRows(std::string(c.name) + ", as inserted");

        // Longer rows by update, some rows gone: the triggers keep the bound.
        exec(
            "update Sub set SubSortEnd = SubSortEnd + 40 where aid % 17 = 0 and "
            "typeof(SubSortEnd) = 'real'");
        exec("delete from Sub where aid % 5 = 0");
        expectSameRows(std::string(c.name) + ", after updates");

        // A bound that is too small is put right when the store is opened.
        exec("update SubSpan set MaxSpan = 0");
        connection.open(folder.path());
        expectSameRows(std::string(c.name) + ", after reopening");
    }
}

TEST_F(PreviewStatements, BulkChangesPutTheBoundRightBeforeTheyCommit) {
    Dataset sub;
    sub.setConnection(&connection);
    sub.setCommandText(kSelectAllSql);
    sub.open();
    std::mt19937 generator(20240612);
    for (const DataCase& c : kDataCases) {
        exec("delete from Sub");
        std::vector<std::pair<double, double>> rows;
        c.make(generator, rows);
        // Loaded without the per-row triggers, as the open does.
        RunBulkChange(connection, sub, [&] {
            for (const auto& [start, end] : rows) insert(start, end);
        });
        expectSameRows(std::string(c.name) + ", loaded in bulk");

        // A bulk change that fails after lengthening rows keeps them, with the bound raised.
        try {
            RunBulkChange(connection, sub, [&] {
                exec("update Sub set SubSortEnd = SubSortEnd + 500 where aid % 7 = 0 and "
                     "typeof(SubSortEnd) = 'real'");
                insert(100, 2000);
                throw Error("stop");
            });
        } catch (const Error&) {
        }
        expectSameRows(std::string(c.name) + ", after a failed bulk change");

        // The triggers are back: single changes raise the bound again.
        insert(-10, 5000);
        expectSameRows(std::string(c.name) + ", after a single insert");
    }
}

TEST_F(PreviewStatements, RowsPostedThroughTheDatasetKeepTheBound) {
    Dataset sub;
    sub.setConnection(&connection);
    sub.setCommandText(kSelectAllSql);
    sub.open();
    const std::vector<std::pair<std::string, std::string>> times = {
        {"00:00:01,000", "00:00:03,000"},
        {"00:00:02,000", "00:10:00,000"},
        {"00:00:02,000", "00:00:02,500"},
        {"bad", "00:00:04,000"},
        {"00:00:05,000", ""},
    };
    for (const auto& [start, end] : times) {
        sub.append();
        sub.fieldByName("STime").setAsString(start);
        sub.fieldByName("ETime").setAsString(end);
        sub.post();
    }
    // An edit that makes the first row the longest.
    sub.first();
    sub.edit();
    sub.fieldByName("ETime").setAsString("01:00:00,000");
    sub.post();
    expectSameRows("posted rows");
}

TEST_F(PreviewStatements, BothStatementsWalkTheIndexNearThePosition) {
    ScratchQuery plan;
    plan.setConnection(&connection);
    plan.setCommandText("explain query plan " + ActiveSubtitlesSql(100));
    plan.open();
    std::string details;
    for (plan.first(); !plan.eof(); plan.next()) details += plan.field(3).asString() + "\n";
    EXPECT_NE(std::string::npos, details.find("SubSortIndex (SubSort>? AND SubSort<?)")) << details;

    plan.setCommandText("explain query plan " + LatestStartSql(100));
    plan.open();
    EXPECT_EQ("SEARCH sub USING COVERING INDEX SubSortIndex (SubSort<?)", plan.field(3).asString());
}

struct LatestCase {
    double position;
    bool null;
    double latest;
};

TEST_F(PreviewStatements, LatestStartIsTheGreatestStartAtOrBeforeThePosition) {
    insert(5, 6);
    insert(10, 12);
    insert(10, 11);
    const std::vector<LatestCase> cases = {
        {4.999, true, 0}, {5, false, 5}, {9.999, false, 5}, {10, false, 10}, {1e9, false, 10},
    };
    for (const LatestCase& c : cases) {
        ScratchQuery find;
        find.setConnection(&connection);
        find.setCommandText(LatestStartSql(c.position));
        find.open();
        ASSERT_FALSE(find.isEmpty());
        EXPECT_EQ(c.null, find.field(0).isNull()) << c.position;
        EXPECT_EQ(c.latest, find.field(0).asFloat()) << c.position;
    }
}

}  // namespace
}  // namespace tirelle::store
