#include "alarmwindow.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

namespace vellaro {

namespace {

QFont makeFont(const QString &family, int pixels, bool bold, bool italic = false)
{
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, int left, int top,
                  const QFont &font, const QColor &colour)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

WindowDesign AlarmWindow::design()
{
    return {QStringLiteral("Напомняне ..."), QRect(258, 291, 443, 125), true};
}

AlarmWindow::AlarmWindow(AppContext &context, WindowSettings &settings, QWidget *parent)
    : PersistentWindow(context, settings, parent)
{
    setObjectName(QStringLiteral("AlarmWindow"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    const QFont caption = makeFont(QStringLiteral("MS Sans Serif"), 11, true);
    const QFont value = makeFont(QStringLiteral("MS Sans Serif"), 13, true);
    const QColor maroon(128, 0, 0);
    const QColor navy(0, 0, 128);

    QLabel *heading = makeLabel(this, "heading", QStringLiteral("Бележка за днешната дата:"), 8, 8,
                                makeFont(QStringLiteral("Verdana"), 16, true, true), Qt::red);
    heading->resize(256, 18);
    heading->setAutoFillBackground(true);

    m_rule = new QLabel(this);
    m_rule->setObjectName(QStringLiteral("rule"));
    m_rule->setGeometry(8, 33, 385, 3);
    m_rule->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    makeLabel(this, "dateCaption", QStringLiteral("Дата:"), 8, 51, caption, maroon);
    m_dateValue = makeLabel(this, "dateValue", QString(), 120, 50, value, navy);
    makeLabel(this, "timeCaption", QStringLiteral("Час:"), 288, 51, caption, maroon);
    m_timeValue = makeLabel(this, "timeValue", QString(), 368, 50, value, navy);
    makeLabel(this, "nameCaption", QStringLiteral("Име:"), 8, 75, caption, maroon);
    m_nameValue = makeLabel(this, "nameValue", QString(), 120, 73, value, navy);
    makeLabel(this, "notesCaption", QStringLiteral("Напомнящ текст:"), 8, 99, caption, maroon);
    m_notesValue = makeLabel(this, "notesValue", QString(), 120, 97, value, navy);

    m_closeButton = new QPushButton(QStringLiteral("Затвори"), this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setGeometry(355, 88, 75, 25);
    // Only a click or the space bar closes the window: an Enter meant for another program must
    // not dismiss a reminder unseen.
    m_closeButton->setAutoDefault(false);
    connect(m_closeButton, &QPushButton::clicked, this, &AlarmWindow::close);
    setFocusProxy(m_closeButton);
}

void AlarmWindow::showReminder(const QString &dateText, const QString &name,
                               const QString &timeText, const QString &notes)
{
    const std::pair<QLabel *, QString> values[] = {{m_dateValue, dateText},
                                                   {m_nameValue, name},
                                                   {m_notesValue, notes},
                                                   {m_timeValue, timeText}};
    for (const auto &[label, text] : values) {
        label->setText(text);
        label->adjustSize();
    }
}

void AlarmWindow::showEvent(QShowEvent *event)
{
    // Read when first shown, like the About banner: not every run shows an alarm.
    if (!m_pictureLoaded) {
        m_pictureLoaded = true;
        m_rule->setPixmap(QPixmap(QStringLiteral(":/pictures/alarm_rule.jpg")));
    }
    if (!m_centred) {
        m_centred = true;
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    PersistentWindow::showEvent(event);
}

void AlarmWindow::keyPressEvent(QKeyEvent *event)
{
    // The window has no cancel button: Esc does nothing.
    if (event->key() == Qt::Key_Escape)
        return;
    PersistentWindow::keyPressEvent(event);
}

} // namespace vellaro
