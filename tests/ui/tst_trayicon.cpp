// The tray icon's picture stands out on dark panels and on light ones: drawn at the sizes panels
// use over the colours of common panels, its silhouette is seen all round (each pixel of its
// edge has, within one pixel, one that differs from the panel by at least 3:1, the WCAG 2
// contrast for graphics) and at least a quarter of the picture differs from the panel as much.
#include "resources/icons.h"
#include "windowkit/windowlook.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTest>

using namespace vellaro;

namespace {

struct Visibility
{
    double body = 0;    // of the picture's pixels, the share that stands out from the panel
    double outline = 0; // of the pixels on its edge, the share with one that stands out nearby
};

Visibility visibilityOn(const QIcon &icon, int size, const QColor &panel)
{
    const QImage picture =
        icon.pixmap(QSize(size, size), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
    QImage drawn(picture.size(), QImage::Format_ARGB32);
    drawn.fill(panel);
    {
        QPainter p(&drawn);
        p.drawImage(0, 0, picture);
    }
    const auto opaque = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < picture.width() && y < picture.height() &&
               qAlpha(picture.pixel(x, y)) >= 128;
    };
    const auto standsOut = [&](int x, int y) {
        return opaque(x, y) && contrastRatio(QColor(drawn.pixel(x, y)), panel) >= 3.0;
    };
    int body = 0;
    int bodyVisible = 0;
    int edge = 0;
    int edgeVisible = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (!opaque(x, y))
                continue;
            ++body;
            bodyVisible += standsOut(x, y);
            if (!opaque(x - 1, y) || !opaque(x + 1, y) || !opaque(x, y - 1) || !opaque(x, y + 1)) {
                ++edge;
                bool seen = false;
                for (int dy = -1; dy <= 1 && !seen; ++dy)
                    for (int dx = -1; dx <= 1 && !seen; ++dx)
                        seen = standsOut(x + dx, y + dy);
                edgeVisible += seen;
            }
        }
    }
    return {body ? double(bodyVisible) / body : 0, edge ? double(edgeVisible) / edge : 0};
}

} // namespace

class TestTrayIcon : public QObject
{
    Q_OBJECT

private slots:
    void standsOutOnDarkAndLightPanels_data()
    {
        QTest::addColumn<QColor>("panel");
        QTest::addColumn<int>("size");
        const std::pair<const char *, QColor> panels[] = {
            {"black", QColor(0, 0, 0)},
            {"adwaitaDark", QColor(0x24, 0x24, 0x24)},
            {"breezeDark", QColor(0x31, 0x36, 0x3b)},
            {"navy", QColor(0x1a, 0x3f, 0x8c)},
            {"white", QColor(0xff, 0xff, 0xff)},
            {"adwaitaLight", QColor(0xf6, 0xf5, 0xf4)},
            {"greyPanel", QColor(0xd6, 0xd2, 0xd0)}};
        // The sizes notification areas draw their icons at.
        for (const auto &[name, colour] : panels)
            for (int size : {16, 22, 24, 32})
                QTest::addRow("%s-%d", name, size) << colour << size;
    }

    void standsOutOnDarkAndLightPanels()
    {
        // The picture alone (without its ring) vanishes on a dark panel: the check can tell.
        if (QByteArray(QTest::currentDataTag()) == "adwaitaDark-22") {
            const Visibility bare =
                visibilityOn(QIcon(":/icons/vellaro.svg"), 22, QColor(0x24, 0x24, 0x24));
            QVERIFY(bare.outline < 0.9);
        }
        QFETCH(QColor, panel);
        QFETCH(int, size);
        const Visibility v = visibilityOn(programIcon(), size, panel);
        QVERIFY2(v.body >= 0.25 && v.outline >= 0.9,
                 qPrintable(QStringLiteral("body %1, outline %2").arg(v.body).arg(v.outline)));
    }
};

QTEST_MAIN(TestTrayIcon)
#include "tst_trayicon.moc"
