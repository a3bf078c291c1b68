#pragma once
// Conversion between the code page's bytes and QString for display and editing. Bytes that are
// not valid in the code page show as replacement characters; a text the user did not change is
// never converted back (callers keep the original bytes).

#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/codepage.h"

class QLineEdit;

namespace tirelle::ui {

// The program's code page, from the environment at first use (or as set by setCodePage).
const CodePage& codePage();
void setCodePage(const CodePage& codePage);

QString toQString(std::string_view bytes);
std::string fromQString(const QString& text);

// Line breaks: the program's texts use CR LF; Qt widgets use "\n".
QString toDisplay(std::string_view bytes);     // CR LF (and lone CR) shown as "\n"
std::string fromDisplay(const QString& text);  // "\n" written back as CR LF

// A file name from a dialog as the path the core opens: the file system's own encoding.
std::filesystem::path localPath(const QString& fileName);
// The time code typed into a box, in seconds (its code page bytes read as a time code).
double boxSeconds(const QLineEdit* box);

}  // namespace tirelle::ui
