// The program's start as a user sees it, for timing from outside (scripts/bench): the
// application object, the main window opening the store in <folder>, the tools window and the
// about box, the main window shown; the process ends as soon as the main window has painted
// for the first time.
//   bench_startup <folder>             start on the store in <folder> (DB.mdb)
//   bench_startup --fill=<n> <folder>  first fill <folder>/DB.mdb with n subtitles, then exit
// The video pane gets the libmpv player, as in the program. The window is shown on the
// platform in use (offscreen when QT_QPA_PLATFORM says so).

#include <QApplication>
#include <QEvent>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/aboutform.h"
#include "app/application.h"
#include "app/srtform.h"
#include "app/toolform.h"
#include "base/timecode.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "store/statements.h"
#include "store/bulkchange.h"

namespace {

// Ends the event loop at the first paint of the watched window.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint || event->type() == QEvent::UpdateRequest)
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return false;
    }
};

int fill(const std::filesystem::path& folder, int count) {
    std::filesystem::create_directories(folder);
    std::filesystem::remove(folder / tirelle::store::kStoreFileName);
    tirelle::store::Connection connection;
    connection.open(folder);
    tirelle::store::Dataset sub;
    sub.setConnection(&connection);
    sub.setCommandText(tirelle::store::kSelectAllSql);
    sub.open();
    tirelle::store::RunInTransaction(connection, sub, [&] {
        for (int k = 0; k < count; ++k) {
            sub.append();
            sub.fieldByName("STime").setAsString(tirelle::MillisecondsToTime(k * 4200LL + 17));
            sub.fieldByName("ETime").setAsString(tirelle::MillisecondsToTime(k * 4200LL + 3117));
            sub.fieldByName("SubText").setAsString("Line " + std::to_string(k) + " of the store");
            sub.post();
        }
    });
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    constexpr const char* kFill = "--fill=";
    if (argc == 3 && std::strncmp(argv[1], kFill, std::strlen(kFill)) == 0)
        return fill(argv[2], std::atoi(argv[1] + std::strlen(kFill)));
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_startup [--fill=<n>] <folder>\n");
        return 2;
    }
    tirelle::app::Application application(argc, argv);
    tirelle::app::prepareProcess();
    using namespace tirelle::app;
    SrtForm = new TSrtForm(TSrtForm::Options{argv[1], nullptr});
    ToolForm = SrtForm->toolForm();
    AboutForm = new TAboutForm(SrtForm);
    FirstPaint watch;
    SrtForm->installEventFilter(&watch);
    SrtForm->showMaximized();
    const int code = QApplication::exec();
    // Only the start is timed: the process ends without tearing the windows down.
    std::fflush(nullptr);
    std::_Exit(code);
}
