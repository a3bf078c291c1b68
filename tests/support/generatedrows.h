#pragma once
// Generated subtitles for benchmarks over large stores.

#include <random>
#include <string>
#include <string_view>

#include "store/connection.h"

namespace tirelle::testing {

// Fills Sub in one statement: row i runs from 3i+1 to 3i+3 seconds, its text
// "subtitle number i", CR LF, then `secondLine`.
inline void FillGeneratedRows(store::Connection& connection, int rows, std::string_view secondLine) {
    if (rows <= 0) return;  // the statement's first row would be made all the same
    std::string quoted;
    for (const char c : secondLine) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    connection.execute(
        "insert into Sub (STime, ETime, SubText, SubSort, SubSortEnd) "
        "with recursive n(i) as (select 0 union all select i + 1 from n where i < " +
            std::to_string(rows - 1) +
            ") select printf('%02d:%02d:%02d,000', (3*i+1)/3600, (3*i+1)/60%60, (3*i+1)%60),"
            " printf('%02d:%02d:%02d,000', (3*i+3)/3600, (3*i+3)/60%60, (3*i+3)%60),"
            " 'subtitle number ' || i || char(13, 10) || '" + quoted + "',"
            " 3*i+1, 3*i+3 from n",
        "Sub");
}

// Two lines of GBK text of varying length, as an SRT file brings them.
inline std::string SampleGbkText(std::mt19937& g) {
    static const std::string kWord = "\xc4\xe3\xba\xc3\xca\xc0\xbd\xe7";
    std::uniform_int_distribution<int> words(2, 6);
    std::string text;
    for (int i = words(g); i > 0; --i) text += kWord;
    text += "\r\n";
    for (int i = words(g); i > 0; --i) text += kWord;
    return text;
}

}  // namespace tirelle::testing
