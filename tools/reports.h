#pragma once
// The short reports of what a command did, shown in the status bar (UTF-8, Chinese): counts
// with thousands separators, seconds with three decimals and a sign.

#include <cstdint>
#include <string>
#include <string_view>

namespace tirelle::tools {

// 1234567 -> "1,234,567"; a negative count keeps its "-".
std::string CountText(std::int64_t count);
// Seconds to the nearest millisecond with three decimals: "+1.500", "−0.200" (U+2212), "0.000".
std::string SignedSecondsText(double seconds);

std::string OpenedReport(std::int64_t rows, std::string_view fileName);  // 已读取 N 条字幕：name
std::string SavedReport(std::int64_t rows, std::string_view fileName);  // 已保存 N 条字幕：name
std::string MergedReport(std::int64_t added, std::string_view fileName);  // 合并字幕 N 条：name
// 已拆分 cut 之后的字幕：name, the cut as a time code.
std::string SplitReport(std::string_view cut, std::string_view fileName);
std::string ShiftReport(double seconds, std::int64_t rows);  // 时间平移 −0.200 秒：N 条
std::string ScaleReport(std::string_view first, std::string_view last, std::int64_t rows);
std::string WrapReport(std::int64_t rows);  // 批量设置字体：N 条
// A tool that found nothing to change: "<label>：没有改变".
std::string UnchangedReport(std::string_view label);
// 已插入字幕 start --> end（共 N 条）
std::string InsertedReport(std::string_view start, std::string_view end, std::int64_t rows);
// 已删除字幕 start（余 N 条）
std::string DeletedReport(std::string_view start, std::int64_t rows);
// 已撤销：label / 已重做：label; with no label (nothing to take): 没有可撤销的操作 /
// 没有可重做的操作.
std::string StepReport(bool undone, std::string_view label);
// Any other step of the history (an edit in the list, a drag in the waveform): "已" + label.
std::string ChangeReport(std::string_view label);

}  // namespace tirelle::tools
