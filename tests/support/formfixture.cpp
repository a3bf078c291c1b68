#include "tests/support/formfixture.h"

#include <QFile>

#include "playback/mpvplayer.h"

namespace tirelle::testing {

FormFixture::FormFixture(const std::function<void(const TempFolder&)>& prepare,
                         app::TSrtForm::PlayerFactory makePlayer) {
    if (prepare) prepare(folder);
    app::TSrtForm::Options options;
    options.folder = folder.path();
    options.makePlayer =
        makePlayer ? std::move(makePlayer) : [this](QWidget* parent) -> playback::Player* {
        player = new FakePlayer(parent);
        return player;
    };
    form = std::make_unique<app::TSrtForm>(options);
    app::SrtForm = form.get();
}

FormFixture::~FormFixture() {
    if (app::SrtForm == form.get()) app::SrtForm = nullptr;
    form.reset();
}

QStringList FormFixture::playerCalls() const {
    QStringList transport;
    for (const QString& call : player->calls)
        if (!call.startsWith(QLatin1String("bounds")) && call != QLatin1String("position"))
            transport << call;
    return transport;
}

void FormFixture::addRows(const std::vector<std::array<std::string, 3>>& rows) {
    for (const auto& row : rows) {
        form->Sub.append();
        form->Sub.fieldByName("STime").setAsString(row[0]);
        form->Sub.fieldByName("ETime").setAsString(row[1]);
        form->Sub.fieldByName("SubText").setAsString(row[2]);
        form->Sub.post();
    }
    form->Sub.requery();
}

QString testVideo() {
    return testMedia("test.mp4");
}

QString testMedia(const std::string& name) {
    const QString file = QString::fromStdString((testDataFolder() / name).string());
    return QFile::exists(file) ? file : QString();
}

app::TSrtForm::PlayerFactory realPlayer() {
    return [](QWidget* parent) -> playback::Player* { return new playback::MpvPlayer(parent); };
}

}  // namespace tirelle::testing
