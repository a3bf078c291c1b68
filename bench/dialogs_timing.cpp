// 简繁转换 and 修复 in the main window, as the user runs them: the store of DB.mdb with its
// history, the list showing it, the checks watching it, and the event loop drawing once after.
//   bench_dialogs_timing [convert | fix]
// 简繁转换 (s2twp) over 1,500 and 100,000 rows, every row two lines with Simplified Chinese
// (its first run loads OpenCC's dictionaries: timed apart); 修复 over 100,000 rows that each
// overlap the next. Prints milliseconds, best of the rounds. Offscreen unless told otherwise.

#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <ctime>

#include "app/application.h"
#include "app/checkspanel.h"
#include "app/checkwatcher.h"
#include "app/chineseform.h"
#include "app/srtform.h"
#include "chinese/conversion.h"
#include "store/connection.h"
#include "tests/support/formfixture.h"

using namespace tirelle;

namespace {

// Row i from 3i+1 s to 3i+4.5 s (overlapping the next by half a second), two lines of text.
void FillRows(store::Connection& connection, int rows) {
    connection.execute(
        "insert into Sub (STime, ETime, SubText, SubSort, SubSortEnd) "
        "with recursive n(i) as (select 0 union all select i + 1 from n where i < " +
            std::to_string(rows - 1) +
            ") select printf('%02d:%02d:%02d,000', (3*i+1)/3600, (3*i+1)/60%60, (3*i+1)%60),"
            " printf('%02d:%02d:%02d,500', (3*i+4)/3600, (3*i+4)/60%60, (3*i+4)%60),"
            " '第 ' || i || ' 句：头发和软件' || char(13, 10) || '我们干杯，这个鼠标很好用',"
            " 3*i+1, 3*i+4.5 from n",
        "bench");
}

// Processor time of every thread of the process, milliseconds: what a busy machine does not
// stretch (the conversion runs on several threads, so it may exceed the wall time).
double CpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Timing {
    double wall = 1e300;  // ms
    double cpu = 1e300;   // ms
};

Timing Milliseconds(const std::function<void()>& run) {
    const double cpu = CpuMilliseconds();
    const auto start = std::chrono::steady_clock::now();
    run();
    QCoreApplication::processEvents();  // the list and the panel drawn once
    const auto end = std::chrono::steady_clock::now();
    return {std::chrono::duration<double, std::milli>(end - start).count(), CpuMilliseconds() - cpu};
}

Timing Best(int rounds, const std::function<void()>& before, const std::function<void()>& run) {
    Timing best;
    for (int k = 0; k < rounds; ++k) {
        before();
        const Timing t = Milliseconds(run);
        best.wall = std::min(best.wall, t.wall);
        best.cpu = std::min(best.cpu, t.cpu);
    }
    return best;
}

std::unique_ptr<testing::FormFixture> Window(int rows) {
    auto fixture = std::make_unique<testing::FormFixture>([rows](const testing::TempFolder& folder) {
        store::Connection connection;
        connection.open(folder.path());
        FillRows(connection, rows);
    });
    fixture->form->resize(1200, 800);
    fixture->form->show();
    fixture->form->ChecksPanel->show();
    QCoreApplication::processEvents();
    return fixture;
}

void Convert(int rows, int rounds) {
    auto window = Window(rows);
    app::TSrtForm& form = *window->form;
    app::TChineseForm& dialog = *form.chineseForm();
    const auto choose = [&](const char* name) {
        dialog.ConversionBox->setCurrentIndex(dialog.ConversionBox->findData(QString::fromLatin1(name)));
    };
    // Each round turns the texts to Traditional; the way back is not timed.
    const Timing first = Milliseconds([&] { choose("s2twp"); dialog.StartButtonClick(); });
    const Timing best = Best(
        rounds, [&] { choose("tw2sp"); dialog.StartButtonClick(); QCoreApplication::processEvents(); },
        [&] { choose("s2twp"); dialog.StartButtonClick(); });
    std::printf("简繁转换 %d rows: %.1f ms wall, %.1f ms processor (first run, dictionaries "
                "loaded: %.1f ms wall)\n",
                rows, best.wall, best.cpu, first.wall);
}

void Fix(int rows, int rounds) {
    auto window = Window(rows);
    app::TSrtForm& form = *window->form;
    const Timing best = Best(
        rounds,
        [&] {
            if (form.UndoHistory.canUndo()) form.UndoItemClick();
            QCoreApplication::processEvents();
        },
        [&] { form.ChecksPanel->FixButtonClick(); });
    std::printf("修复 %d rows: %.1f ms wall, %.1f ms processor (%zu problems after)\n", rows,
                best.wall, best.cpu, form.Checks->checker().problemCount());
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app::Application application(argc, argv);
    app::prepareProcess();
    // "convert" or "fix" runs only that one (for a profiler).
    const std::string only = argc > 1 ? argv[1] : "";
    if (only != "fix") {
        Convert(1500, 5);
        Convert(100000, 3);
    }
    if (only != "convert") Fix(100000, 3);
    return 0;
}
