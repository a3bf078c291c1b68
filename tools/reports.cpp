#include "tools/reports.h"

#include <cmath>
#include <cstdio>

namespace tirelle::tools {

namespace {

std::string joined(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view part : parts) out += part;
    return out;
}

}  // namespace

std::string CountText(std::int64_t count) {
    const std::string digits = std::to_string(count < 0 ? -count : count);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return count < 0 ? "-" + out : out;
}

std::string SignedSecondsText(double seconds) {
    const long long millis = std::llround(seconds * 1000.0);
    const unsigned long long size = millis < 0 ? 0ULL - static_cast<unsigned long long>(millis)
                                               : static_cast<unsigned long long>(millis);
    char number[32];
    std::snprintf(number, sizeof number, "%llu.%03llu", size / 1000, size % 1000);
    if (millis == 0) return number;
    return (millis < 0 ? "\u2212" : "+") + std::string(number);
}

std::string OpenedReport(std::int64_t rows, std::string_view fileName) {
    return joined({"已读取 ", CountText(rows), " 条字幕：", fileName});
}

std::string SavedReport(std::int64_t rows, std::string_view fileName) {
    return joined({"已保存 ", CountText(rows), " 条字幕：", fileName});
}

std::string MergedReport(std::int64_t added, std::string_view fileName) {
    return joined({"合并字幕 ", CountText(added), " 条：", fileName});
}

std::string SplitReport(std::string_view cut, std::string_view fileName) {
    return joined({"已拆分 ", cut, " 之后的字幕：", fileName});
}

std::string ShiftReport(double seconds, std::int64_t rows) {
    return joined({"时间平移 ", SignedSecondsText(seconds), " 秒：", CountText(rows), " 条"});
}

std::string ScaleReport(std::string_view first, std::string_view last, std::int64_t rows) {
    return joined({"时间缩放 ", first, " 至 ", last, "：", CountText(rows), " 条"});
}

std::string WrapReport(std::int64_t rows) {
    return joined({"批量设置字体：", CountText(rows), " 条"});
}

std::string UnchangedReport(std::string_view label) {
    return joined({label, "：没有改变"});
}

std::string InsertedReport(std::string_view start, std::string_view end, std::int64_t rows) {
    return joined({"已插入字幕 ", start, " --> ", end, "（共 ", CountText(rows), " 条）"});
}

std::string DeletedReport(std::string_view start, std::int64_t rows) {
    return joined({"已删除字幕 ", start, "（余 ", CountText(rows), " 条）"});
}

std::string StepReport(bool undone, std::string_view label) {
    if (label.empty()) return undone ? "没有可撤销的操作" : "没有可重做的操作";
    return joined({undone ? "已撤销：" : "已重做：", label});
}

std::string ChangeReport(std::string_view label) {
    return joined({"已", label});
}

}  // namespace tirelle::tools
