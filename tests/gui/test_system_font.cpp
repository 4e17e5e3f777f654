// The windows use the face the system's own dialogs use, not a fallback of Qt's.
#include "SystemFont.h"

#include <QtTest/QtTest>
#include <QtWidgets/QtWidgets>

#include <windows.h>

class SystemFontTest : public QObject {
    Q_OBJECT

private slots:
    void applicationFontIsTheSystemsMessageFace() {
        useSystemUiFont();
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof(metrics);
        QVERIFY(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0));
        HDC dc = GetDC(nullptr);
        HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
        const HGDIOBJ old = SelectObject(dc, font);
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc, LF_FACESIZE, face);
        SelectObject(dc, old);
        DeleteObject(font);
        ReleaseDC(nullptr, dc);

        QLabel label(QStringLiteral("Ban file path"));
        QCOMPARE(QFontInfo(label.font()).family(), QString::fromWCharArray(face));
    }
};

QTEST_MAIN(SystemFontTest)
#include "test_system_font.moc"
