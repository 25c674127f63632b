#include "persistentwindow.h"

#include "guard.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QTimer>

namespace vellaro {

namespace {

const QString kTop = QStringLiteral("Top");
const QString kLeft = QStringLiteral("Left");
const QString kWidth = QStringLiteral("Width");
const QString kHeight = QStringLiteral("Height");
const QString kAlphaBlend = QStringLiteral("AlphaBlend");

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
      m_fixedSize(design.fixedSize)
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
    const int width = ini.readInteger(m_caption, kWidth, m_geometry.width());
    const int height = ini.readInteger(m_caption, kHeight, m_geometry.height());

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

PersistentWindow::PersistentWindow(AppContext &context, WindowSettings &settings, QWidget *parent)
    : QDialog(parent, Qt::Window), m_context(context), m_settings(settings)
{
    setWindowTitle(settings.m_caption);
    const QRect bounds = settings.geometry();
    if (!onWayland())
        move(bounds.topLeft());
    resize(bounds.size());
}

PersistentWindow::~PersistentWindow() = default;

void PersistentWindow::initialize()
{
    guarded([this] { prepare(); });
    guarded([this] { applySettings(); });
}

void PersistentWindow::applySettings()
{
    m_settings.m_window = this;
    const QRect geometry = m_settings.geometry();
    if (!onWayland())
        move(geometry.topLeft());
    const QSize stored(std::max(geometry.width(), 0), std::max(geometry.height(), 0));
    const QSize size = stored.expandedTo(layoutMinimum());
    if (m_settings.fixedSize())
        setFixedSize(size);
    else
        resize(size);
    m_positionPlaced = false;
    m_sizePlaced = size != stored;
    m_placedSize = size;
    keepOnScreen();
    m_settings.setAlpha(m_settings.alpha());
}

QSize PersistentWindow::layoutMinimum() const
{
    if (!layout())
        return minimumSize();
    layout()->activate();
    return layout()->totalMinimumSize().expandedTo(minimumSize());
}

void PersistentWindow::fitLayout()
{
    if (!layout())
        return;
    layout()->invalidate();
    const QSize needed = size().expandedTo(layoutMinimum());
    if (needed == size())
        return;
    if (m_settings.fixedSize())
        setFixedSize(needed);
    else
        resize(needed);
    m_sizePlaced = true;
    m_placedSize = needed;
    keepOnScreen();
}

QRect PersistentWindow::availableArea() const
{
    const QRect outer = isVisible() ? frameGeometry() : geometry();
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

void PersistentWindow::resizeForContents(const QSize &wanted)
{
    const QRect area = availableArea();
    QSize size = wanted.expandedTo(minimumSize()).boundedTo(maximumSize());
    if (area.isValid() && !m_settings.fixedSize())
        size = size.boundedTo(area.size()).expandedTo(minimumSize());
    if (size == this->size())
        return;
    if (m_settings.fixedSize())
        setFixedSize(size);
    else
        resize(size);
    m_sizePlaced = true;
    m_placedSize = size;
    keepOnScreen();
}

void PersistentWindow::keepOnScreen()
{
    // The compositor places windows on Wayland; what it reports is no position to correct.
    if (onWayland())
        return;
    const QRect area = availableArea();
    if (!area.isValid())
        return;
    // The frame is known once the window manager has drawn it; before that it counts as none.
    const QSize frame = isVisible() ? frameGeometry().size() - size() : QSize(0, 0);
    if (!m_settings.fixedSize()) {
        const QSize room = (area.size() - frame).expandedTo(minimumSize());
        const QSize size = this->size().boundedTo(room);
        if (size != this->size()) {
            resize(size);
            m_sizePlaced = true;
            m_placedSize = size;
        }
    }
    const QRect outer(pos(), size() + frame);
    QPoint position = pos();
    if (outer.right() > area.right())
        position.rx() -= outer.right() - area.right();
    if (outer.bottom() > area.bottom())
        position.ry() -= outer.bottom() - area.bottom();
    position.setX(std::max(position.x(), area.left()));
    position.setY(std::max(position.y(), area.top()));
    if (position != pos()) {
        move(position);
        m_positionPlaced = true;
        m_placedPosition = position;
    }
}

void PersistentWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    keepOnScreen();
    // The window manager's frame is known a moment after the window maps.
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            keepOnScreen();
    });
}

void PersistentWindow::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitLayout();
}

void PersistentWindow::saveOnExit()
{
    m_settings.m_caption = windowTitle();
    // What the program changed on its own is not the user's choice: the stored value stays.
    const QRect stored = m_settings.m_geometry;
    const QPoint position =
        m_positionPlaced && pos() == m_placedPosition ? stored.topLeft() : pos();
    const QSize size = m_sizePlaced && this->size() == m_placedSize ? stored.size() : this->size();
    m_settings.m_geometry = QRect(position, size);
    m_settings.write();
}

void PersistentWindow::keyPressEvent(QKeyEvent *event)
{
    QWidget::keyPressEvent(event);
}

} // namespace vellaro
