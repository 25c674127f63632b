#include "resources/icons.h"

#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QString>

#include <algorithm>
#include <cmath>

namespace vellaro {

namespace {

// The monogram with a white ring around its shape (a pixel wide at tray sizes): its
// black outline stands out on light panels, the ring on dark ones (the picture alone is mostly
// black and vanishes on a dark panel).
class HaloIconEngine final : public QIconEngine
{
public:
    explicit HaloIconEngine(const QString &path) : m_path(path), m_picture(path) {}

    QIconEngine *clone() const override { return new HaloIconEngine(m_path); }
    QString key() const override { return QStringLiteral("vellaro-halo"); }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return {{16, 16}, {22, 22}, {24, 24}, {32, 32}, {48, 48}, {64, 64}};
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap picture = drawn(rect.size() * ratio, mode, state, ratio);
        picture.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, picture);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return drawn(size, mode, state, 1.0);
    }

    // QIcon asks here for a screen whose pixels are smaller than the logical ones (the size is
    // then in device pixels, the logical size times the ratio).
    void virtual_hook(int id, void *data) override
    {
        if (id != QIconEngine::ScaledPixmapHook) {
            QIconEngine::virtual_hook(id, data);
            return;
        }
        auto &asked = *static_cast<QIconEngine::ScaledPixmapArgument *>(data);
        asked.pixmap = drawn(asked.size, asked.mode, asked.state, asked.scale);
    }

private:
    // The picture at exactly `size` device pixels, for a screen of the given pixel ratio. The
    // picture is asked of its own icon at ratio 1: without a ratio, QIcon would take the
    // application's and hand back a picture that much larger, which the ring would then be
    // read from at the wrong pixels.
    QPixmap drawn(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal ratio)
    {
        if (size.width() < 8 || size.height() < 8)
            return m_picture.pixmap(size, 1.0, mode, state);
        // One logical pixel wide at tray sizes, a little wider where the picture is larger.
        ratio = std::max(ratio, 1.0);
        const double logical = std::min(size.width(), size.height()) / ratio;
        const int ring =
            std::max(1, int(std::lround(std::max(1.0, std::round(logical / 24.0)) * ratio)));
        const QImage shape = m_picture.pixmap(size - QSize(2 * ring, 2 * ring), 1.0, mode, state)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        QImage out(size, QImage::Format_ARGB32_Premultiplied);
        out.fill(Qt::transparent);
        // The ring: each pixel as opaque as the most opaque of the picture's pixels around it.
        for (int y = 0; y < out.height(); ++y) {
            for (int x = 0; x < out.width(); ++x) {
                int alpha = 0;
                for (int dy = -2 * ring; dy <= 0; ++dy) {
                    for (int dx = -2 * ring; dx <= 0; ++dx) {
                        const int sx = x + dx;
                        const int sy = y + dy;
                        if (sx >= 0 && sy >= 0 && sx < shape.width() && sy < shape.height())
                            alpha = std::max(alpha, qAlpha(shape.pixel(sx, sy)));
                    }
                }
                out.setPixel(x, y, qPremultiply(qRgba(255, 255, 255, alpha)));
            }
        }
        QPainter painter(&out);
        painter.drawImage(ring, ring, shape);
        painter.end();
        return QPixmap::fromImage(out);
    }

    QString m_path;
    QIcon m_picture;
};

} // namespace

QIcon commandIcon(int index)
{
    if (index < 0 || index > 7)
        return {};
    return QIcon(QStringLiteral(":/icons/command_%1.svg").arg(index));
}

QIcon unreadableRowIcon()
{
    return QIcon(QStringLiteral(":/icons/row_unreadable.svg"));
}

QIcon postponedRowIcon()
{
    return QIcon(QStringLiteral(":/icons/postponed_row.svg"));
}

QIcon programIcon()
{
    return QIcon(new HaloIconEngine(QStringLiteral(":/icons/vellaro.svg")));
}

QIcon editorIcon()
{
    return QIcon(QStringLiteral(":/icons/vellaro_editor.svg"));
}

QIcon okButtonIcon()
{
    return QIcon(QStringLiteral(":/icons/button_ok.svg"));
}

QIcon cancelButtonIcon()
{
    return QIcon(QStringLiteral(":/icons/button_cancel.svg"));
}

} // namespace vellaro
