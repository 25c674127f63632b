// The tray icon's picture stands out on dark panels and on light ones: drawn at the sizes panels
// use over the colours of common panels, its silhouette is seen all round (each pixel of its
// edge has, within one pixel, one that differs from the panel by at least 3:1, the WCAG 2
// contrast for graphics) and at least a quarter of the picture differs from the panel as much.
// The program runs at twice the pixels here (as on a high-resolution screen, QT_SCALE_FACTOR=2):
// a panel of either ratio gets a picture drawn for its own pixels, never one scaled up.
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

Visibility visibilityOn(const QIcon &icon, int size, const QColor &panel, qreal ratio = 1.0)
{
    QImage picture =
        icon.pixmap(QSize(size, size), ratio).toImage().convertToFormat(QImage::Format_ARGB32);
    picture.setDevicePixelRatio(1.0); // looked at pixel by pixel
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
                const int near = ratio > 1 ? 3 : 1; // the ring alone is two pixels wide at 2
                for (int dy = -near; dy <= near && !seen; ++dy)
                    for (int dx = -near; dx <= near && !seen; ++dx)
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
        QTest::addColumn<qreal>("ratio");
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
                for (qreal ratio : {1.0, 2.0})
                    QTest::addRow("%s-%d@%gx", name, size, ratio) << colour << size << ratio;
    }

    void standsOutOnDarkAndLightPanels()
    {
        // The picture alone (without its ring) vanishes on a dark panel: the check can tell.
        if (QByteArray(QTest::currentDataTag()) == "adwaitaDark-22@1x") {
            const Visibility bare =
                visibilityOn(QIcon(":/icons/vellaro.svg"), 22, QColor(0x24, 0x24, 0x24));
            QVERIFY(bare.outline < 0.9);
        }
        QFETCH(QColor, panel);
        QFETCH(int, size);
        QFETCH(qreal, ratio);
        // Drawn for the panel's pixels, not scaled up to them.
        const QPixmap drawn = programIcon().pixmap(QSize(size, size), ratio);
        QCOMPARE(drawn.devicePixelRatio(), ratio);
        QCOMPARE(drawn.size(), QSize(size, size) * ratio);
        const Visibility v = visibilityOn(programIcon(), size, panel, ratio);
        QVERIFY2(v.body >= 0.25 && v.outline >= 0.9,
                 qPrintable(QStringLiteral("body %1, outline %2").arg(v.body).arg(v.outline)));
    }
};

QTEST_MAIN(TestTrayIcon)
#include "tst_trayicon.moc"
