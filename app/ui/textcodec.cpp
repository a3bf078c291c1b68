#include "app/ui/textcodec.h"

#include <QFile>
#include <QLineEdit>
#include <QStringDecoder>
#include <QStringEncoder>
#include <optional>

#include "base/timecode.h"

namespace tirelle::ui {

namespace {
std::optional<CodePage>& current() {
    static std::optional<CodePage> page;
    return page;
}
}  // namespace

const CodePage& codePage() {
    if (!current()) current() = CodePage::fromEnvironment();
    return *current();
}

void setCodePage(const CodePage& page) {
    current() = page;
}

QString toQString(std::string_view bytes) {
    if (codePage().kind() == CodePage::Kind::Utf8)
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder decoder(codePage().converterName());
    return decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string fromQString(const QString& text) {
    QByteArray bytes;
    if (codePage().kind() == CodePage::Kind::Utf8) {
        bytes = text.toUtf8();
    } else {
        QStringEncoder encoder(codePage().converterName());
        bytes = encoder(text);
    }
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString toDisplay(std::string_view bytes) {
    QString text = toQString(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

std::string fromDisplay(const QString& text) {
    QString withBreaks = text;
    withBreaks.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return fromQString(withBreaks);
}

std::filesystem::path localPath(const QString& fileName) {
    return std::filesystem::path(QFile::encodeName(fileName).toStdString());
}

double boxSeconds(const QLineEdit* box) {
    return TimeToSeconds(fromQString(box->text()));
}

}  // namespace tirelle::ui
