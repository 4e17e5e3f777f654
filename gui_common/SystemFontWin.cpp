#include "SystemFont.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QString>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

// The face the system's font mapper picks for a logical font, after its substitutions.
QString mappedFace(const LOGFONTW& logical) {
    QString face;
    HDC dc = GetDC(nullptr);
    if (!dc) {
        return face;
    }
    if (HFONT font = CreateFontIndirectW(&logical)) {
        const HGDIOBJ old = SelectObject(dc, font);
        wchar_t name[LF_FACESIZE] = {};
        const int length = GetTextFaceW(dc, LF_FACESIZE, name);
        if (length > 0) {
            face = QString::fromWCharArray(name, length - (name[length - 1] == L'\0' ? 1 : 0));
        }
        SelectObject(dc, old);
        DeleteObject(font);
    }
    ReleaseDC(nullptr, dc);
    return face;
}

} // namespace

void useSystemUiFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) {
        return;
    }
    const QString asked = QString::fromWCharArray(metrics.lfMessageFont.lfFaceName);
    // On Windows itself the message font is a real family with styles, and nothing changes.
    if (asked.isEmpty() || !QFontDatabase::styles(asked).isEmpty()) {
        return;
    }
    const QString real = mappedFace(metrics.lfMessageFont);
    if (real.isEmpty() || real == asked || QFontDatabase::styles(real).isEmpty()) {
        return;
    }
    QFont::insertSubstitution(asked, real);
    // The application font was resolved before the substitution existed.
    QFont font = QApplication::font();
    font.setFamilies({real});
    QApplication::setFont(font);
}
