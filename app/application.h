#pragma once
// The application object and the program entry.

#include <QApplication>
#include <filesystem>
#include <optional>

#include "store/storelock.h"

namespace tirelle::app {

// A QApplication whose notify() is the last line of defence: handlers run through the error
// guard, and anything that still escapes one is shown in the error box instead of ending the
// program.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Sets up the process after the application object exists: C numeric locale (the player
// library requires it), the application title, font substitution.
void prepareProcess();

// Loads Qt's own translations for the system's locale, so that Qt's standard dialogs follow the
// desktop's language. Nothing when none is installed for it.
void installQtTranslations();

// Claims the store file for this run. When another Tirelle holds it, shows the error box
// "字幕库正被另一个 Tirelle 使用：<path>" and gives nothing: the program must end without touching
// the store. A lock that cannot be made at all (a folder that cannot be written) does not stop
// the start; the store then opens as it can.
std::optional<store::StoreLock> claimStore(const std::filesystem::path& storeFile);

// The program entry after the application object: creates the windows in order, shows the main
// window maximised and runs the event loop. Returns the exit code.
int runProgram();

}  // namespace tirelle::app
