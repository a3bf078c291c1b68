#pragma once
// Short feedback at the bottom of the main window: what a command did. Both windows tell it
// through here.

#include <QString>
#include <string>

class QStatusBar;

namespace tirelle::srt {
struct ReadEncoding;
}

namespace tirelle::app {

// A file's name as a report shows it (UTF-8, without its folder).
std::string shownName(const QString& fileName);

class StatusLine {
public:
    explicit StatusLine(QStatusBar* bar) : bar_(bar) {}

    // The text stays until the next one, or for timeoutMs milliseconds when that is above 0.
    // An empty text clears the line.
    void show(const QString& text, int timeoutMs = 0);
    // A report of what a command did (UTF-8, see tools/reports.h), until the next one.
    void report(const std::string& utf8);

    // After a read that converted the file: "已按 <encoding> 编码读取：<file name>", with the
    // count of replaced sequences when there were any. A read in the code page clears the line,
    // so no earlier file's note stays.
    void showRead(const srt::ReadEncoding& encoding, const QString& fileName);

private:
    QStatusBar* bar_;
};

}  // namespace tirelle::app
