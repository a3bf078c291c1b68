// The claim on the store at start: a second Tirelle on the same store shows the error box and
// gets nothing; the claim goes at the end of the first, and with a first that crashed.

#include <sys/wait.h>
#include <unistd.h>

#include <QtTest>
#include <cstdlib>

#include "app/application.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/tempfolder.h"
#include "tests/support/testmain.h"

using tirelle::store::StoreLock;

class StoreClaimTest : public QObject {
    Q_OBJECT
private slots:
    void init() { store = folder.file("DB.mdb"); }
    void secondClaimShowsTheErrorBoxAndGetsNothing();
    void claimGoesWithItsHolder();

private:
    tirelle::testing::TempFolder folder;
    std::filesystem::path store;
};

void StoreClaimTest::secondClaimShowsTheErrorBoxAndGetsNothing() {
    tirelle::testing::ScriptedDialogs dialogs;
    auto first = tirelle::app::claimStore(store);
    QVERIFY(first.has_value());
    QCOMPARE(first->state(), StoreLock::State::Held);
    QVERIFY(dialogs.errors.isEmpty());

    QVERIFY(!tirelle::app::claimStore(store).has_value());
    QCOMPARE(dialogs.errors,
             QStringList{"字幕库正被另一个 Tirelle 使用：" + QString::fromStdString(store.string())});
    QVERIFY(!std::filesystem::exists(store));  // nothing made or changed
}

void StoreClaimTest::claimGoesWithItsHolder() {
    { StoreLock ended(store); }
    QCOMPARE(StoreLock(store).state(), StoreLock::State::Held);

    // A holder that dies without any cleanup of its own.
    int ready[2];
    QCOMPARE(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        StoreLock held(store);
        const char state = held.state() == StoreLock::State::Held ? 'h' : '-';
        (void)!::write(ready[1], &state, 1);
        ::pause();
        std::_Exit(0);
    }
    char state = 0;
    QCOMPARE(::read(ready[0], &state, 1), ssize_t{1});
    QCOMPARE(state, 'h');
    QCOMPARE(StoreLock(store).state(), StoreLock::State::HeldElsewhere);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    QCOMPARE(StoreLock(store).state(), StoreLock::State::Held);
    ::close(ready[0]);
    ::close(ready[1]);
}

TIRELLE_TEST_MAIN(StoreClaimTest)
#include "storeclaim_test.moc"
