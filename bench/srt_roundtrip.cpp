// A whole process that converts one SRT file the way a user does with the main window: the open
// command reads it into the store (DB.mdb in <folder>), the save command writes the store out
// again, and the program ends. Timed from outside against other converters (scripts/bench).
//   bench_srt_roundtrip [--mpv] <in.srt> <out.srt> <folder>
//
// The dialogs are answered from the command line: No to the save question (when DB.mdb already
// holds rows), <in.srt> to the open dialog, <out.srt> to the save dialog. The window is not
// shown. The video pane gets the player double unless --mpv asks for the libmpv player, whose
// start-up then counts as well. Errors go to stderr and give exit code 1.

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "app/application.h"
#include "app/srtform.h"
#include "app/ui/guard.h"
#include "tests/support/fakeplayer.h"
#include "tests/support/scripteddialogs.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: bench_srt_roundtrip [--mpv] <in.srt> <out.srt> <folder>\n");
    return 2;
}

// Prints what the error boxes and unexpected dialogs of the run recorded; true when none.
bool reportProblems(const tirelle::testing::ScriptedDialogs& dialogs) {
    for (const QString& error : dialogs.errors)
        std::fprintf(stderr, "error: %s\n", error.toLocal8Bit().constData());
    if (dialogs.unexpected != 0)
        std::fprintf(stderr, "unexpected dialogs: %s\n",
                     dialogs.log.join(QStringLiteral(", ")).toLocal8Bit().constData());
    return dialogs.errors.isEmpty() && dialogs.unexpected == 0;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    tirelle::app::Application application(argc, argv);
    tirelle::app::prepareProcess();

    bool mpv = false;
    int first = 1;
    if (argc > 1 && std::strcmp(argv[1], "--mpv") == 0) {
        mpv = true;
        first = 2;
    }
    if (argc - first != 3) return usage();
    const QString input = QString::fromLocal8Bit(argv[first]);
    const QString output = QString::fromLocal8Bit(argv[first + 1]);
    const std::filesystem::path folder = argv[first + 2];
    std::error_code made;
    std::filesystem::create_directories(folder, made);
    if (made) {
        std::fprintf(stderr, "cannot create %s: %s\n", folder.c_str(), made.message().c_str());
        return 1;
    }

    tirelle::testing::ScriptedDialogs dialogs;
    bool created = false;
    {
        tirelle::app::TSrtForm::Options options;
        options.folder = folder;
        if (!mpv)
            options.makePlayer = [](QWidget* parent) -> tirelle::playback::Player* {
                return new tirelle::testing::FakePlayer(parent);
            };
        std::unique_ptr<tirelle::app::TSrtForm> form;
        tirelle::ui::guarded([&] {
            form = std::make_unique<tirelle::app::TSrtForm>(options);
            tirelle::app::SrtForm = form.get();
            created = true;
        });
        if (created) {
            dialogs.questionAnswers = {false};
            dialogs.fileAnswers = {input, output};
            tirelle::ui::guarded([&] { form->N6Click(); });
            if (dialogs.errors.isEmpty()) tirelle::ui::guarded([&] { form->N9Click(); });
        }
        tirelle::app::SrtForm = nullptr;
    }
    if (!created && dialogs.errors.isEmpty()) dialogs.errors << QStringLiteral("no main window");
    return reportProblems(dialogs) ? 0 : 1;
}
