#pragma once
// A main window built for a test: its folder is a fresh temporary folder (so DB.mdb is the
// test's own), its dialogs are scripted and its player is the double.

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/srtform.h"
#include "tests/support/fakeplayer.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/tempfolder.h"

namespace tirelle::testing {

class FormFixture {
public:
    // `prepare` runs on the folder before the window is created (to leave a DB.mdb there).
    // `makePlayer` replaces the double (for tests with the real player); `player` is then null.
    explicit FormFixture(const std::function<void(const TempFolder&)>& prepare = {},
                         app::TSrtForm::PlayerFactory makePlayer = {});
    ~FormFixture();

    TempFolder folder;
    ScriptedDialogs dialogs;
    FakePlayer* player = nullptr;  // owned by the window
    std::unique_ptr<app::TSrtForm> form;

    // Adds rows straight through the working dataset (append + post each) and requeries.
    // Each row: start text, end text, subtitle text.
    // The player calls the program made, without the view's bounds and position reads.
    QStringList playerCalls() const;

    void addRows(const std::vector<std::array<std::string, 3>>& rows);
};

// The generated test video (empty when it has not been made).
QString testVideo();
// A file of the generated test media by its path under the media folder ("speech/x.mp4"),
// empty when it has not been made.
QString testMedia(const std::string& name);
// Makes the real libmpv player, for FormFixture.
app::TSrtForm::PlayerFactory realPlayer();

}  // namespace tirelle::testing
