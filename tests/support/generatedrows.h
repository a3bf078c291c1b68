#pragma once
// Generated subtitles for benchmarks over large stores, and Chinese lines for the tests and
// benchmarks of its conversion.

#include <random>
#include <string>
#include <string_view>
#include <vector>

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

// Lines of 8 to 20 common characters, Simplified and Traditional mixed with Chinese
// punctuation, in UTF-8: text of which OpenCC changes a good part, the phrases it knows included.
inline std::vector<std::string> SampleChineseLines(int count, unsigned seed = 17) {
    static const std::string kCharacters =
        "的一是不了人我在有他这个们中来上大为和国地到以说时要就出会可也你对生能而子那得于着下"
        "自之年过发后作里用道行所然家种事成方多经么去法学如都同现当没动面起看定天分还进好小部"
        "其些主样理心她本前开但因只从想实日军者意无力它与长把机十民第公此已工使情明性知全三又关"
        "点正业外将两高间由问很最重并物手应战向头文体政美相见被利什二等产或新己制身果加西斯月话"
        "這個們來為國說時會對過後裡還進從實與長機現動麼發頭髮體軟鼠標乾杯記憶網絡資訊軟件，。？！“"
        "”";
    static const std::vector<std::string> kGlyphs = [] {
        std::vector<std::string> glyphs;
        for (std::size_t at = 0; at < kCharacters.size(); at += 3)
            glyphs.push_back(kCharacters.substr(at, 3));
        return glyphs;
    }();
    std::mt19937 random(seed);
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i) {
        std::string line;
        for (int k = 8 + static_cast<int>(random() % 13); k > 0; --k)
            line += kGlyphs[random() % kGlyphs.size()];
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace tirelle::testing
