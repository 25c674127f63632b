// Draws the About window's banner: 300 x 73 pixels on white, "VELLARO" over "VERSION 2.0" in
// large serif capitals extruded towards the lower left (black faces, sides shaded white, grey
// and royal blue), with a soft shadow beneath. The lettering stays within columns 35..260 and
// rows 7..69.
//
//   vellaro_draw_banner src/resources/pictures/about_banner.jpg
//
// Needs a bold Times-like face (Nimbus Roman from fonts-urw-base35, else DejaVu Serif).
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>

namespace {

constexpr int kWidth = 300;
constexpr int kHeight = 73;
// JPEG ringing reaches a pixel past the shapes, so they keep one pixel off the edges.
const QRectF kLetteringBox(36, 8, 224, 61); // columns 35..260, rows 7..69

QFont serifCapitals()
{
    const QString family = QFontDatabase::families().contains(QStringLiteral("Nimbus Roman"))
                               ? QStringLiteral("Nimbus Roman")
                               : QStringLiteral("DejaVu Serif");
    QFont font(family);
    font.setBold(true);
    font.setPixelSize(100);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QPainterPath centredLine(const QString &text, const QFont &font, double capHeight, double top)
{
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF bounds = path.boundingRect();
    const double scale = capHeight / bounds.height();
    QTransform t;
    t.translate(-bounds.center().x() * scale, top - bounds.top() * scale);
    t.scale(scale, scale);
    return t.map(path);
}

QColor mix(const QColor &a, const QColor &b, double t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t));
}

// A few passes of a box blur over the alpha of a premultiplied picture: soft enough for a
// shadow, and needs nothing beyond Qt.
void blur(QImage &image, int radius, int passes)
{
    const int w = image.width();
    const int h = image.height();
    for (int pass = 0; pass < passes; ++pass) {
        for (int horizontal = 0; horizontal < 2; ++horizontal) {
            QImage out = image;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    int sum = 0;
                    int count = 0;
                    for (int k = -radius; k <= radius; ++k) {
                        const int sx = horizontal ? x + k : x;
                        const int sy = horizontal ? y : y + k;
                        if (sx < 0 || sy < 0 || sx >= w || sy >= h)
                            continue;
                        sum += qAlpha(image.pixel(sx, sy));
                        ++count;
                    }
                    const int a = sum / count;
                    out.setPixel(x, y, qRgba(0, 0, 0, a));
                }
            }
            image = out;
        }
    }
}

struct Line
{
    QPainterPath face;
    int depth; // extrusion in pixels
};

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s output.jpg\n", argv[0]);
        return 2;
    }

    const QFont font = serifCapitals();
    // Laid out at a nominal size, then fitted into the lettering box as a whole.
    Line lines[] = {
        {centredLine(QStringLiteral("VELLARO"), font, 30, 0), 6},
        {centredLine(QStringLiteral("VERSION 2.0"), font, 14, 38), 4},
    };
    const QPointF toLowerLeft(-1, 1);

    QRectF extent;
    for (const Line &line : lines) {
        extent |= line.face.boundingRect();
        extent |= line.face.translated(toLowerLeft * (line.depth + 2)).boundingRect();
    }
    const double scale =
        std::min(kLetteringBox.width() / extent.width(), kLetteringBox.height() / extent.height());
    QTransform fit;
    fit.translate(kLetteringBox.center().x(), kLetteringBox.center().y());
    fit.scale(scale, scale);
    fit.translate(-extent.center().x(), -extent.center().y());
    for (Line &line : lines)
        line.face = fit.map(line.face);

    // The shadow: the whole extruded shape, pushed further down and blurred.
    QImage shadow(kWidth, kHeight, QImage::Format_ARGB32);
    shadow.fill(Qt::transparent);
    {
        QPainter p(&shadow);
        p.setRenderHint(QPainter::Antialiasing);
        for (const Line &line : lines) {
            for (int k = 0; k <= line.depth; ++k)
                p.fillPath(line.face.translated(QPointF(-0.5, 2.5) + toLowerLeft * k),
                           QColor(0, 0, 0, 110));
        }
    }
    blur(shadow, 1, 2);

    QImage banner(kWidth, kHeight, QImage::Format_RGB32);
    banner.fill(Qt::white);
    QPainter p(&banner);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawImage(0, 0, shadow);

    // The sides, back to front: royal blue far from the face, through grey, to white at its
    // edge, so every letter reads as a block standing out of the picture.
    const QColor royalBlue(65, 105, 225);
    const QColor grey(150, 150, 160);
    for (const Line &line : lines) {
        for (int k = line.depth; k >= 1; --k) {
            const double t = double(k - 1) / std::max(1, line.depth - 1);
            const QColor side =
                t > 0.5 ? mix(grey, royalBlue, (t - 0.5) * 2) : mix(Qt::white, grey, t * 2);
            p.fillPath(line.face.translated(toLowerLeft * k), side);
        }
        p.fillPath(line.face, Qt::black);
    }
    p.end();

    if (!banner.save(QString::fromLocal8Bit(argv[1]), "JPEG", 92)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
