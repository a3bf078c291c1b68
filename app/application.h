#pragma once
// The application object and the program entry.

#include <QApplication>

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

// The program entry after the application object: creates the windows in order, shows the main
// window maximised and runs the event loop. Returns the exit code.
int runProgram();

}  // namespace tirelle::app
