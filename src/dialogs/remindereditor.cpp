#include "remindereditor.h"

#include "icons.h"

#include <QDateEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>

namespace vellaro {

namespace {

// A single-line edit that keeps the caret and does not select its whole text on entry.
class PlainLineEdit final : public QLineEdit
{
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent *event) override
    {
        const int cursor = cursorPosition();
        QLineEdit::focusInEvent(event);
        deselect();
        setCursorPosition(cursor);
    }
};

QString quoted(const QString &literal)
{
    QString out = literal;
    out.replace(u'\'', QStringLiteral("''"));
    return u'\'' + out + u'\'';
}

// The picker shows the year with four digits: a two-digit year typed into it would otherwise be
// taken in the wrong century and the reminder would never sound.
QString pickerDatePattern(const QString &pattern)
{
    QString out;
    bool inQuote = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'\'')
            inQuote = !inQuote;
        if (!inQuote && c == u'y') {
            qsizetype j = i;
            while (j < pattern.size() && pattern[j] == u'y')
                ++j;
            out += QStringLiteral("yyyy");
            i = j - 1;
            continue;
        }
        out += c;
    }
    return out;
}

QString pickerTimePattern(const LocaleFormats &f)
{
    QString hour = f.twelveHour() ? QStringLiteral("h") : QStringLiteral("H");
    if (f.hourLeadingZero())
        hour += hour;
    const QString sep = quoted(f.timeSeparator());
    QString pattern = hour + sep + QStringLiteral("mm") + sep + QStringLiteral("ss");
    if (f.twelveHour())
        pattern =
            f.markerFirst() ? QStringLiteral("AP ") + pattern : pattern + QStringLiteral(" AP");
    return pattern;
}

void makeLabel(QWidget *parent, const char *name, const QString &caption, int left, int top,
               QWidget *buddy)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->adjustSize();
    label->setBuddy(buddy);
}

} // namespace

WindowDesign ReminderEditor::design()
{
    return {QStringLiteral("Добавяне на напомняне"), QRect(309, 185, 401, 178), true};
}

ReminderEditor::ReminderEditor(AppContext &context, WindowSettings &settings, QWidget *parent)
    : PersistentWindow(context, settings, parent)
{
    setObjectName(QStringLiteral("ReminderEditor"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(editorIcon());

    m_panel = new QFrame(this);
    m_panel->setObjectName(QStringLiteral("panel"));
    m_panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_panel->setLineWidth(2);
    m_panel->setGeometry(8, 8, 385, 161);

    m_nameEdit = new PlainLineEdit(m_panel);
    m_nameEdit->setObjectName(QStringLiteral("nameEdit"));
    m_nameEdit->setGeometry(16, 32, 233, 21);
    m_notesEdit = new PlainLineEdit(m_panel);
    m_notesEdit->setObjectName(QStringLiteral("notesEdit"));
    m_notesEdit->setGeometry(16, 80, 233, 21);

    m_dateEdit = new QDateEdit(m_panel);
    m_dateEdit->setObjectName(QStringLiteral("dateEdit"));
    m_dateEdit->setGeometry(256, 32, 113, 21);
    m_dateEdit->setCalendarPopup(true);
    m_timeEdit = new QTimeEdit(m_panel);
    m_timeEdit->setObjectName(QStringLiteral("timeEdit"));
    m_timeEdit->setGeometry(256, 80, 113, 21);
    m_timeEdit->setTime(QTime(17, 11, 29));

    makeLabel(m_panel, "nameLabel", QStringLiteral("&Име:"), 16, 16, m_nameEdit);
    makeLabel(m_panel, "dateLabel", QStringLiteral("&Дата:"), 256, 16, m_dateEdit);
    makeLabel(m_panel, "notesLabel", QStringLiteral("&Осведомяване за:"), 16, 64, m_notesEdit);
    makeLabel(m_panel, "timeLabel", QStringLiteral("&Час:"), 256, 64, m_timeEdit);

    m_okButton = new QPushButton(okButtonIcon(), QStringLiteral("&Запис"), m_panel);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setGeometry(208, 120, 75, 25);
    m_okButton->setDefault(true);
    m_cancelButton = new QPushButton(cancelButtonIcon(), QStringLiteral("&Отмяна"), m_panel);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setGeometry(296, 120, 75, 25);
    connect(m_okButton, &QPushButton::clicked, this, &ReminderEditor::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &ReminderEditor::reject);

    setTabOrder(m_nameEdit, m_notesEdit);
    setTabOrder(m_notesEdit, m_dateEdit);
    setTabOrder(m_dateEdit, m_timeEdit);
    setTabOrder(m_timeEdit, m_okButton);
    setTabOrder(m_okButton, m_cancelButton);
    setFocusProxy(m_nameEdit);

    applyFormats();
}

void ReminderEditor::prepare()
{
    m_dateEdit->setDate(m_context.clock->now().date());
}

void ReminderEditor::clearTexts()
{
    for (QLineEdit *edit : m_panel->findChildren<QLineEdit *>(Qt::FindDirectChildrenOnly))
        edit->clear();
}

ReminderDraft ReminderEditor::draft() const
{
    return {m_nameEdit->text(), m_dateEdit->date(), m_timeEdit->time(), m_notesEdit->text()};
}

void ReminderEditor::setDraft(const ReminderDraft &draft)
{
    m_nameEdit->setText(draft.name);
    m_dateEdit->setDate(draft.date);
    m_timeEdit->setTime(draft.time);
    m_notesEdit->setText(draft.notes);
}

void ReminderEditor::applyFormats()
{
    const LocaleFormats &f = *m_context.formats;
    m_dateEdit->setLocale(f.locale());
    m_dateEdit->setDisplayFormat(pickerDatePattern(f.shortDatePattern()));
    m_timeEdit->setLocale(f.locale());
    m_timeEdit->setDisplayFormat(pickerTimePattern(f));
}

void ReminderEditor::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        m_cancelButton->click();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto *button = qobject_cast<QPushButton *>(focusWidget()))
            button->click();
        else
            m_okButton->click();
        return;
    default:
        PersistentWindow::keyPressEvent(event);
    }
}

} // namespace vellaro
