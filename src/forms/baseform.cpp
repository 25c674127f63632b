#include "baseform.h"

#include "guard.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

namespace vellaro {

namespace {

const QString kTop = QStringLiteral("Top");
const QString kLeft = QStringLiteral("Left");
const QString kWidth = QStringLiteral("Width");
const QString kHeight = QStringLiteral("Height");
const QString kAlphaBlend = QStringLiteral("AlphaBlend");

QList<TBaseForm *> &registry()
{
    static QList<TBaseForm *> forms;
    return forms;
}

// A Wayland client can neither place its windows nor make them translucent: the compositor
// decides both, and what it reports as a position is not where the user put the window.
bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QFont windowFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    return font;
}

} // namespace

TBaseForm::TBaseForm(FormContext &context, QWidget *parent)
    : QWidget(parent, Qt::Window), m_context(context)
{
    setFont(windowFont());
    registry().append(this);
}

TBaseForm::~TBaseForm()
{
    registry().removeOne(this);
}

const QList<TBaseForm *> &TBaseForm::liveForms()
{
    return registry();
}

void TBaseForm::DoCreate()
{
    guarded([this] { FormCreate(); });
    guarded([this] { restoreSettings(); });
}

void TBaseForm::DoDestroy()
{
    storeSettings();
}

void TBaseForm::setAlphaBlendValue(int alpha)
{
    m_alphaBlendValue = alpha & 0xFF;
    // On Wayland the value is only kept (and stored at exit); Qt would warn and do nothing.
    if (!onWayland())
        setWindowOpacity(m_alphaBlendValue / 255.0);
}

void TBaseForm::setDesignBounds(int left, int top, int width, int height)
{
    move(left, top);
    if (m_fixedBorder)
        setFixedSize(width, height);
    else
        resize(width, height);
}

void TBaseForm::setFixedBorder(bool fixed)
{
    m_fixedBorder = fixed;
    if (fixed)
        setFixedSize(size());
}

void TBaseForm::restoreSettings()
{
    const ProfileFile &ini = *m_context.settings;
    const QString section = windowTitle();
    const int top = ini.readInteger(section, kTop, y());
    const int left = ini.readInteger(section, kLeft, x());
    const int width = ini.readInteger(section, kWidth, this->width());
    const int height = ini.readInteger(section, kHeight, this->height());

    // A stored position on a screen that is no longer there would leave the window unreachable.
    QPoint position(left, top);
    const QRect bounds(position, QSize(std::max(width, 1), std::max(height, 1)));
    const auto screens = QGuiApplication::screens();
    const bool visibleSomewhere = std::any_of(screens.begin(), screens.end(), [&](QScreen *s) {
        return s->availableVirtualGeometry().intersects(bounds);
    });
    if (!visibleSomewhere && QGuiApplication::primaryScreen())
        position = QGuiApplication::primaryScreen()->availableGeometry().topLeft();

    // Where the compositor places windows, the stored position is left for other sessions.
    if (!onWayland())
        move(position);
    if (m_fixedBorder)
        setFixedSize(std::max(width, 0), std::max(height, 0));
    else
        resize(width, height);

    setAlphaBlendValue(ini.readInteger(m_context.opacitySection, kAlphaBlend, m_alphaBlendValue));
}

void TBaseForm::storeSettings()
{
    ProfileFile &ini = *m_context.settings;
    const QString section = windowTitle();
    // What Wayland reports as a position is not one: the stored one stays as it was.
    if (!onWayland()) {
        ini.writeInteger(section, kTop, y());
        ini.writeInteger(section, kLeft, x());
    }
    ini.writeInteger(section, kWidth, width());
    ini.writeInteger(section, kHeight, height());
    ini.writeInteger(m_context.opacitySection, kAlphaBlend, m_alphaBlendValue);
}

int TBaseForm::showModal()
{
    QEventLoop loop;
    m_modalLoop = &loop;
    m_modalResult = mrNone;
    QPointer<TBaseForm> self(this);
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    loop.exec(QEventLoop::DialogExec);
    if (!self)
        return mrCancel;
    m_modalLoop = nullptr;
    hide();
    setWindowModality(Qt::NonModal);
    return m_modalResult;
}

void TBaseForm::setModalResult(int result)
{
    m_modalResult = result;
    if (m_modalLoop && result != mrNone)
        m_modalLoop->quit();
}

void TBaseForm::closeEvent(QCloseEvent *event)
{
    if (m_modalLoop) {
        if (m_modalResult == mrNone)
            m_modalResult = mrCancel;
        m_modalLoop->quit();
    }
    QWidget::closeEvent(event);
}

} // namespace vellaro
