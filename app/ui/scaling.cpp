#include "app/ui/scaling.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace tirelle::ui {

double screenDpi() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}

int scaled(int designPixels) {
    return static_cast<int>(std::lround(designPixels * screenDpi() / 120.0));
}

QRect scaled(int x, int y, int w, int h) {
    return QRect(scaled(x), scaled(y), scaled(w), scaled(h));
}

void scaleRunningTotal(int* widths, int count) {
    int designSum = 0;
    int scaledSum = 0;
    for (int i = 0; i < count; ++i) {
        designSum += widths[i];
        const int total = scaled(designSum);
        widths[i] = total - scaledSum;
        scaledSum = total;
    }
}

QFont songti(int pointSize) {
    QFont font(QStringLiteral("宋体"));
    font.setPointSize(pointSize);
    return font;
}

void installFontSubstitutions() {
    // The program's font is the GB2312 face "宋体"; on Linux it is drawn with whichever CJK font
    // is installed, so Chinese captions render.
    static const char* const candidates[] = {"SimSun",
                                             "Noto Serif CJK SC",
                                             "Noto Sans CJK SC",
                                             "WenQuanYi Zen Hei",
                                             "WenQuanYi Micro Hei",
                                             "AR PL UMing CN"};
    const QStringList families = QFontDatabase::families();
    QStringList found;
    for (const char* name : candidates)
        if (families.contains(QString::fromLatin1(name), Qt::CaseInsensitive))
            found << QString::fromLatin1(name);
    if (found.isEmpty()) return;
    QFont::insertSubstitutions(QStringLiteral("宋体"), found);
    QFont::insertSubstitutions(QStringLiteral("SimSun"), found);
}

}  // namespace tirelle::ui
