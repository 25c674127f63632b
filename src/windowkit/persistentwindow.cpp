#include "windowkit/persistentwindow.h"

#include "windowkit/guard.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QTimer>

#include <cmath>

namespace vellaro {

namespace {

const QString kTop = QStringLiteral("Top");
const QString kLeft = QStringLiteral("Left");
const QString kWidth = QStringLiteral("Width");
const QString kHeight = QStringLiteral("Height");
const QString kAlphaBlend = QStringLiteral("AlphaBlend");

// The design's font (8 points on a 96 dpi screen) has characters about six pixels wide on
// average; the desktop's usual 9-point font has the same. A larger font needs a larger window
// for the same texts.
constexpr double kDesignAverageCharWidth = 6.0;

QList<WindowSettings *> &registry()
{
    static QList<WindowSettings *> records;
    return records;
}

// A Wayland client can neither place its windows nor make them translucent: the compositor
// decides both, and what it reports as a position is not where the user put the window.
bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

WindowSettings::WindowSettings(AppContext &context, const WindowDesign &design)
    : m_context(context), m_caption(design.caption), m_geometry(design.bounds),
      m_fixedSize(design.fixedSize), m_sizeFollowsFont(design.sizeFollowsFont)
{
    registry().append(this);
}

WindowSettings::~WindowSettings()
{
    registry().removeOne(this);
}

const QList<WindowSettings *> &WindowSettings::all()
{
    return registry();
}

void WindowSettings::read()
{
    const ProfileFile &ini = *m_context.settings;
    const int top = ini.readInteger(m_caption, kTop, m_geometry.top());
    const int left = ini.readInteger(m_caption, kLeft, m_geometry.left());
    const std::optional<int> storedWidth =
        parseProfileInt(ini.readString(m_caption, kWidth).value_or(QString()));
    const std::optional<int> storedHeight =
        parseProfileInt(ini.readString(m_caption, kHeight).value_or(QString()));
    m_widthStored = storedWidth.has_value();
    m_heightStored = storedHeight.has_value();
    const int width = storedWidth.value_or(m_geometry.width());
    const int height = storedHeight.value_or(m_geometry.height());

    // A stored position on a screen that is no longer there would leave the window unreachable.
    QPoint position(left, top);
    const QRect bounds(position, QSize(std::max(width, 1), std::max(height, 1)));
    const auto screens = QGuiApplication::screens();
    const bool visibleSomewhere = std::any_of(screens.begin(), screens.end(), [&](QScreen *s) {
        return s->availableVirtualGeometry().intersects(bounds);
    });
    if (!visibleSomewhere && QGuiApplication::primaryScreen())
        position = QGuiApplication::primaryScreen()->availableGeometry().topLeft();
    m_geometry = QRect(position, QSize(width, height));

    setAlpha(ini.readInteger(m_context.opacitySection, kAlphaBlend, m_alpha));
}

void WindowSettings::write()
{
    ProfileFile &ini = *m_context.settings;
    // Where the compositor places windows, the stored position is left as it was for other
    // sessions.
    if (!onWayland()) {
        ini.writeInteger(m_caption, kTop, m_geometry.top());
        ini.writeInteger(m_caption, kLeft, m_geometry.left());
    }
    ini.writeInteger(m_caption, kWidth, m_geometry.width());
    ini.writeInteger(m_caption, kHeight, m_geometry.height());
    ini.writeInteger(m_context.opacitySection, kAlphaBlend, m_alpha);
}

void WindowSettings::setAlpha(int alpha)
{
    m_alpha = alpha & 0xFF;
    // On Wayland the value is only kept (and stored at exit); Qt would warn and do nothing.
    if (m_window && !onWayland())
        m_window->setWindowOpacity(m_alpha / 255.0);
}

WindowPlacement::WindowPlacement(QWidget &window, WindowSettings &settings)
    : m_window(window), m_settings(settings)
{
    m_window.setWindowTitle(settings.m_caption);
    const QRect bounds = settings.geometry();
    if (!onWayland())
        m_window.move(bounds.topLeft());
    m_window.resize(bounds.size());
}

void WindowPlacement::apply()
{
    m_settings.m_window = &m_window;
    // A design size meant for the design's font grows with a larger one; that grown size is
    // the window's own default, written back as such while the user leaves it.
    if (m_settings.m_sizeFollowsFont) {
        const double scale = std::max(1.0, QFontMetrics(m_window.font()).averageCharWidth() /
                                               kDesignAverageCharWidth);
        QRect &geometry = m_settings.m_geometry;
        if (!m_settings.m_widthStored)
            geometry.setWidth(int(std::lround(geometry.width() * scale)));
        if (!m_settings.m_heightStored)
            geometry.setHeight(int(std::lround(geometry.height() * scale)));
        m_settings.m_widthStored = m_settings.m_heightStored = true;
    }
    const QRect geometry = m_settings.geometry();
    if (!onWayland())
        m_window.move(geometry.topLeft());
    const QSize stored(std::max(geometry.width(), 0), std::max(geometry.height(), 0));
    const QSize size = stored.expandedTo(layoutMinimum());
    setSize(size);
    m_positionPlaced = false;
    m_sizePlaced = size != stored;
    m_placedSize = size;
    keepOnScreen();
    m_settings.setAlpha(m_settings.alpha());
}

void WindowPlacement::setSize(const QSize &size)
{
    if (m_settings.fixedSize())
        m_window.setFixedSize(size);
    else
        m_window.resize(size);
}

QSize WindowPlacement::layoutMinimum() const
{
    QLayout *layout = m_window.layout();
    if (!layout)
        return m_window.minimumSize();
    layout->activate();
    return layout->totalMinimumSize().expandedTo(m_window.minimumSize());
}

void WindowPlacement::fitLayout()
{
    if (!m_window.layout())
        return;
    m_window.layout()->invalidate();
    const QSize needed = m_window.size().expandedTo(layoutMinimum());
    if (needed == m_window.size())
        return;
    setSize(needed);
    m_sizePlaced = true;
    m_placedSize = needed;
    keepOnScreen();
}

QRect WindowPlacement::availableArea() const
{
    const QRect outer = m_window.isVisible() ? m_window.frameGeometry() : m_window.geometry();
    const QScreen *best = nullptr;
    qint64 bestArea = -1;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect common = screen->availableGeometry().intersected(outer);
        const qint64 area = common.isEmpty() ? 0 : qint64(common.width()) * common.height();
        if (area > bestArea) {
            bestArea = area;
            best = screen;
        }
    }
    if (bestArea <= 0)
        best = QGuiApplication::primaryScreen();
    return best ? best->availableGeometry() : QRect();
}

void WindowPlacement::resizeForContents(const QSize &wanted)
{
    const QRect area = availableArea();
    const QSize least = m_window.minimumSize();
    QSize size = wanted.expandedTo(least).boundedTo(m_window.maximumSize());
    if (area.isValid() && !m_settings.fixedSize())
        size = size.boundedTo(area.size()).expandedTo(least);
    if (size == m_window.size())
        return;
    setSize(size);
    m_sizePlaced = true;
    m_placedSize = size;
    keepOnScreen();
}

void WindowPlacement::keepOnScreen()
{
    // The compositor places windows on Wayland; what it reports is no position to correct.
    if (onWayland())
        return;
    const QRect area = availableArea();
    if (!area.isValid())
        return;
    // The frame is known once the window manager has drawn it; before that it counts as none.
    const QSize frame =
        m_window.isVisible() ? m_window.frameGeometry().size() - m_window.size() : QSize(0, 0);
    if (!m_settings.fixedSize()) {
        const QSize room = (area.size() - frame).expandedTo(m_window.minimumSize());
        const QSize size = m_window.size().boundedTo(room);
        if (size != m_window.size()) {
            m_window.resize(size);
            m_sizePlaced = true;
            m_placedSize = size;
        }
    }
    m_frameKept = frame;
    const QRect outer(m_window.pos(), m_window.size() + frame);
    QPoint position = m_window.pos();
    if (outer.right() > area.right())
        position.rx() -= outer.right() - area.right();
    if (outer.bottom() > area.bottom())
        position.ry() -= outer.bottom() - area.bottom();
    position.setX(std::max(position.x(), area.left()));
    position.setY(std::max(position.y(), area.top()));
    if (position != m_window.pos()) {
        m_window.move(position);
        m_positionPlaced = true;
        m_placedPosition = position;
    }
}

void WindowPlacement::shown()
{
    keepOnScreen();
    // The window manager's frame is known a moment after the window maps.
    QTimer::singleShot(0, &m_window, [this] {
        if (m_window.isVisible())
            keepOnScreen();
    });
}

void WindowPlacement::movedOrResized()
{
    // The window manager may tell its frame (the title bar above all) later than the first
    // turn of the event loop after the window maps: with it the window may reach past the
    // screen's edge. A move of the user's own keeps the frame as it was and is left alone.
    if (!m_window.isVisible() || onWayland())
        return;
    if (m_window.frameGeometry().size() - m_window.size() != m_frameKept)
        keepOnScreen();
}

void WindowPlacement::changed(const QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitLayout();
}

void WindowPlacement::save()
{
    m_settings.m_caption = m_window.windowTitle();
    // What the program changed on its own is not the user's choice: the stored value stays.
    const QRect stored = m_settings.m_geometry;
    const QPoint position =
        m_positionPlaced && m_window.pos() == m_placedPosition ? stored.topLeft() : m_window.pos();
    const QSize size =
        m_sizePlaced && m_window.size() == m_placedSize ? stored.size() : m_window.size();
    m_settings.m_geometry = QRect(position, size);
    m_settings.write();
}

PersistentWindow::PersistentWindow(AppContext &context, WindowSettings &settings, QWidget *parent)
    : QDialog(parent, Qt::Window), m_context(context), m_placement(*this, settings)
{}

PersistentWindow::~PersistentWindow() = default;

void PersistentWindow::initialize()
{
    guarded([this] { prepare(); });
    guarded([this] { m_placement.apply(); });
}

void PersistentWindow::saveOnExit()
{
    m_placement.save();
}

void PersistentWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_placement.shown();
}

void PersistentWindow::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    m_placement.changed(event);
}

void PersistentWindow::moveEvent(QMoveEvent *event)
{
    QDialog::moveEvent(event);
    m_placement.movedOrResized();
}

void PersistentWindow::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    m_placement.movedOrResized();
}

void PersistentWindow::keyPressEvent(QKeyEvent *event)
{
    QWidget::keyPressEvent(event);
}

PersistentMainWindow::PersistentMainWindow(AppContext &context, WindowSettings &settings,
                                           QWidget *parent)
    : QMainWindow(parent), m_context(context), m_placement(*this, settings)
{}

PersistentMainWindow::~PersistentMainWindow() = default;

void PersistentMainWindow::initialize()
{
    guarded([this] { prepare(); });
    guarded([this] { m_placement.apply(); });
}

void PersistentMainWindow::saveOnExit()
{
    m_placement.save();
}

void PersistentMainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    m_placement.shown();
}

void PersistentMainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    m_placement.changed(event);
}

void PersistentMainWindow::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    m_placement.movedOrResized();
}

void PersistentMainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    m_placement.movedOrResized();
}

} // namespace vellaro
