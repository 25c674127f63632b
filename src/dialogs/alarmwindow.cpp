#include "dialogs/alarmwindow.h"

#include "dialogs/wrappinglabel.h"
#include "windowkit/windowlook.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

namespace vellaro {

namespace {

template <typename Label = QLabel>
Label *makeLabel(QWidget *parent, const char *name, const QString &text, const QFont &font)
{
    auto *label = new Label(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(font);
    return label;
}

// The notes' area prefers the notes on lines of about sixty characters, as tall as they are;
// the window grows towards that, within two thirds of the screen, and the rest scrolls.
class NotesArea final : public QScrollArea
{
public:
    using QScrollArea::QScrollArea;

    QSize sizeHint() const override
    {
        const QWidget *notes = widget();
        if (!notes)
            return QScrollArea::sizeHint();
        const int width =
            std::min(notes->sizeHint().width(), notes->fontMetrics().averageCharWidth() * 60);
        return {width, notes->heightForWidth(width)};
    }
};

const QColor kCaptionColour(128, 0, 0);
const QColor kValueColour(0, 0, 128);
const QColor kHeadingColour(Qt::red);

} // namespace

const QList<int> &AlarmWindow::snoozeChoices()
{
    static const QList<int> minutes{5, 10, 15, 30, 60, 180, 1440};
    return minutes;
}

WindowDesign AlarmWindow::design()
{
    return {QStringLiteral("Напомняне ..."), QRect(258, 291, 443, 125), false};
}

AlarmWindow::AlarmWindow(AppContext &context, WindowSettings &settings, QWidget *parent)
    : PersistentWindow(context, settings, parent)
{
    setObjectName(QStringLiteral("AlarmWindow"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    // The window stands on the palette's base colour (white in a light theme).
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);

    const QFont base = font();
    const QFont caption = derivedFont(base, 1.0, true);
    const QFont value = derivedFont(base, 1.15, true);

    m_heading = makeLabel(this, "heading", QStringLiteral("Бележка за днешната дата:"),
                          derivedFont(base, 1.4, true, true));

    // The rule under the heading: a picture stretched to the window's width.
    m_rule = new QLabel(this);
    m_rule->setObjectName(QStringLiteral("rule"));
    m_rule->setScaledContents(true);
    m_rule->setFixedHeight(3);
    m_rule->setMinimumWidth(1);
    m_rule->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    m_captions = {makeLabel(this, "dateCaption", QStringLiteral("Дата:"), caption),
                  makeLabel(this, "timeCaption", QStringLiteral("Час:"), caption),
                  makeLabel(this, "nameCaption", QStringLiteral("Име:"), caption),
                  makeLabel(this, "notesCaption", QStringLiteral("Напомнящ текст:"), caption)};
    // Each caption stands on the same base line as the first line of its (larger) value.
    const int drop = std::max(QFontMetrics(value).ascent() - QFontMetrics(caption).ascent(), 0);
    for (QLabel *label : std::as_const(m_captions)) {
        label->setContentsMargins(0, drop, 0, 0);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    m_dateValue = makeLabel(this, "dateValue", QString(), value);
    m_timeValue = makeLabel(this, "timeValue", QString(), value);
    m_nameValue = makeLabel<WrappingLabel>(this, "nameValue", QString(), value);
    m_nameValue->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_nameValue->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // The notes scroll when they need more than the window can give them.
    m_notesArea = new NotesArea(this);
    m_notesArea->setObjectName(QStringLiteral("notesArea"));
    m_notesArea->setFrameShape(QFrame::NoFrame);
    m_notesArea->setWidgetResizable(true);
    m_notesArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_notesArea->setBackgroundRole(QPalette::Base);
    m_notesValue = makeLabel<WrappingLabel>(nullptr, "notesValue", QString(), value);
    m_notesValue->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_notesValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_notesArea->setWidget(m_notesValue);
    m_notesArea->widget()->setAutoFillBackground(false);
    m_notesArea->viewport()->setAutoFillBackground(false);
    m_notesArea->setMinimumHeight(QFontMetrics(value).height());
    m_notesArea->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    m_closeButton = new QPushButton(QStringLiteral("Затвори"), this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    // Return and Enter close the window from anywhere in it (keyPressEvent), as does the space
    // bar on the button; Esc does nothing, as the window has no cancel button.
    m_closeButton->setAutoDefault(false);
    connect(m_closeButton, &QPushButton::clicked, this, &AlarmWindow::close);
    setFocusProxy(m_closeButton);

    m_snoozeChoice = new QComboBox(this);
    m_snoozeChoice->setObjectName(QStringLiteral("snoozeChoice"));
    const QString choiceTexts[] = {QStringLiteral("5 минути"),  QStringLiteral("10 минути"),
                                   QStringLiteral("15 минути"), QStringLiteral("30 минути"),
                                   QStringLiteral("1 час"),     QStringLiteral("3 часа"),
                                   QStringLiteral("1 ден")};
    for (qsizetype i = 0; i < snoozeChoices().size(); ++i)
        m_snoozeChoice->addItem(choiceTexts[i], snoozeChoices().at(i));
    offerSnooze(kFirstSnoozeMinutes);
    m_snoozeButton = new QPushButton(QStringLiteral("Отложи"), this);
    m_snoozeButton->setObjectName(QStringLiteral("snoozeButton"));
    // Not a default button: Return closes the window wherever the focus is, this one included.
    m_snoozeButton->setAutoDefault(false);
    connect(m_snoozeButton, &QPushButton::clicked, this, &AlarmWindow::snooze);
    // Closing stays the first thing the keyboard reaches, as it was before there was a choice.
    setTabOrder(m_closeButton, m_snoozeChoice);
    setTabOrder(m_snoozeChoice, m_snoozeButton);

    auto *when = new QHBoxLayout;
    when->addWidget(m_dateValue, 0, Qt::AlignTop);
    when->addSpacing(fontMetrics().averageCharWidth() * 4);
    when->addWidget(m_captions[1], 0, Qt::AlignTop);
    when->addWidget(m_timeValue, 0, Qt::AlignTop);
    when->addStretch(1);

    auto *grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    grid->addWidget(m_captions[0], 0, 0, Qt::AlignLeft | Qt::AlignTop);
    grid->addLayout(when, 0, 1);
    grid->addWidget(m_captions[2], 1, 0, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(m_nameValue, 1, 1);
    grid->addWidget(m_captions[3], 2, 0, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(m_notesArea, 2, 1);
    grid->setRowStretch(2, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_snoozeChoice);
    buttons->addWidget(m_snoozeButton);
    buttons->addWidget(m_closeButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addWidget(m_rule);
    layout->addLayout(grid, 1);
    layout->addLayout(buttons);

    applyColours();
}

void AlarmWindow::applyColours()
{
    // Not before the window has built its texts (a palette change reaches it while it does).
    if (!m_notesValue)
        return;
    setTextColour(m_heading, kHeadingColour);
    for (QLabel *caption : std::as_const(m_captions))
        setTextColour(caption, kCaptionColour);
    for (QLabel *value : {static_cast<QLabel *>(m_dateValue), static_cast<QLabel *>(m_timeValue),
                          static_cast<QLabel *>(m_nameValue)})
        setTextColour(value, kValueColour);
    // The notes stand in the scroll area on the window's own colour.
    QPalette notes = m_notesValue->palette();
    const QColor colour =
        readableColour(kValueColour, palette().color(backgroundRole()), kMinimumTextContrast);
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        notes.setColor(group, m_notesValue->foregroundRole(), colour);
    m_notesValue->setPalette(notes);
}

void AlarmWindow::showReminder(const QString &dateText, const QString &name,
                               const QString &timeText, const QString &notes)
{
    const std::pair<QLabel *, QString> values[] = {{m_dateValue, dateText},
                                                   {m_nameValue, name},
                                                   {m_notesValue, notes},
                                                   {m_timeValue, timeText}};
    for (const auto &[label, text] : values)
        label->setText(text);
    m_notesArea->verticalScrollBar()->setValue(0);
    fitToTexts();
}

void AlarmWindow::offerSnooze(int minutes)
{
    const int choice = m_snoozeChoice->findData(minutes);
    m_snoozeChoice->setCurrentIndex(choice >= 0 ? choice
                                                : m_snoozeChoice->findData(kFirstSnoozeMinutes));
}

int AlarmWindow::snoozeMinutes() const
{
    return m_snoozeChoice->currentData().toInt();
}

void AlarmWindow::snooze()
{
    done(kSnoozed);
}

void AlarmWindow::fitToTexts()
{
    // The size the window has without the texts' growth: the user's, or the stored one.
    if (m_baseSize.isEmpty())
        m_baseSize = size();
    const QRect area = availableArea();
    const QSize most =
        area.isValid() ? area.size() * 2 / 3 : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    QLayout *box = layout();
    box->invalidate();
    box->activate();
    const QSize minimum = minimumSize();
    const int width = std::max(
        {m_baseSize.width(), std::min(box->sizeHint().width(), most.width()), minimum.width()});

    // Laid out at that width, the texts show what fits; the window grows by what does not.
    const QSize before = size();
    m_fitting = true;
    resize(width, std::max(m_baseSize.height(), minimum.height()));
    box->invalidate();
    box->activate();
    // The area's own rectangle: its viewport follows only once the window shows. When the
    // notes do not fit even so, the scroll bar takes some of the width, and the rest scrolls.
    const QRect notesRect = m_notesArea->contentsRect();
    const int notesHidden = m_notesValue->heightForWidth(notesRect.width()) - notesRect.height();
    const int nameHidden =
        m_nameValue->heightForWidth(m_nameValue->width()) - m_nameValue->height();
    const int whole = height() + std::max(nameHidden, 0);
    const int height = std::min(whole + std::max(notesHidden, 0), std::max(most.height(), whole));
    resize(before);
    m_fitting = false;
    resizeForContents(QSize(width, height));
    box->invalidate();
    keepNameWhole();
    m_fittedSize = size();
}

void AlarmWindow::keepNameWhole()
{
    QLayout *box = layout();
    if (!box)
        return;
    box->activate();
    // As tall as the window is, less what the name lacks or the notes could give up.
    const int nameMissing =
        m_nameValue->heightForWidth(m_nameValue->width()) - m_nameValue->height();
    const int notesSpare = m_notesArea->height() - m_notesArea->minimumHeight();
    const int needed = std::max(height() + nameMissing - std::max(notesSpare, 0),
                                box->totalMinimumSize().height());
    if (minimumHeight() != needed)
        setMinimumHeight(needed);
}

void AlarmWindow::resizeEvent(QResizeEvent *event)
{
    PersistentWindow::resizeEvent(event);
    if (!m_fitting) {
        keepNameWhole();
        // A size the user gives the window is the base of the next reminder's.
        if (isVisible() && size() != m_fittedSize)
            m_baseSize = size();
    }
}

void AlarmWindow::changeEvent(QEvent *event)
{
    PersistentWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColours();
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
    m_closeButton->setFocus(Qt::OtherFocusReason);
}

void AlarmWindow::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        // The window has no cancel button: Esc does nothing.
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        close();
        return;
    default:
        PersistentWindow::keyPressEvent(event);
    }
}

} // namespace vellaro
