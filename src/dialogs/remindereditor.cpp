#include "dialogs/remindereditor.h"

#include "core/repeatrule.h"
#include "resources/icons.h"
#include "windowkit/guard.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
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

QLabel *makeLabel(QWidget *parent, const char *name, const QString &caption, QWidget *buddy)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(buddy);
    return label;
}

} // namespace

WindowDesign ReminderEditor::design()
{
    return {QStringLiteral("Добавяне на напомняне"), QRect(309, 185, 401, 178), false};
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

    m_nameEdit = new PlainLineEdit(m_panel);
    m_nameEdit->setObjectName(QStringLiteral("nameEdit"));
    m_notesEdit = new PlainLineEdit(m_panel);
    m_notesEdit->setObjectName(QStringLiteral("notesEdit"));

    m_dateEdit = new QDateEdit(m_panel);
    m_dateEdit->setObjectName(QStringLiteral("dateEdit"));
    m_dateEdit->setCalendarPopup(true);
    m_timeEdit = new QTimeEdit(m_panel);
    m_timeEdit->setObjectName(QStringLiteral("timeEdit"));
    m_timeEdit->setTime(QTime(17, 11, 29));

    QLabel *nameLabel = makeLabel(m_panel, "nameLabel", QStringLiteral("&Име:"), m_nameEdit);
    QLabel *dateLabel = makeLabel(m_panel, "dateLabel", QStringLiteral("&Дата:"), m_dateEdit);
    QLabel *notesLabel =
        makeLabel(m_panel, "notesLabel", QStringLiteral("&Осведомяване за:"), m_notesEdit);
    QLabel *timeLabel = makeLabel(m_panel, "timeLabel", QStringLiteral("&Час:"), m_timeEdit);

    // Repeats: a choice, the weekdays of a weekly repeat, and an optional last day.
    m_repeatCombo = new QComboBox(m_panel);
    m_repeatCombo->setObjectName(QStringLiteral("repeatCombo"));
    m_repeatCombo->addItems({QStringLiteral("Без повторение"), QStringLiteral("Всеки ден"),
                             QStringLiteral("Всеки делничен ден"), QStringLiteral("Всяка седмица"),
                             QStringLiteral("Всеки месец"), QStringLiteral("Всяка година")});
    QLabel *repeatLabel =
        makeLabel(m_panel, "repeatLabel", QStringLiteral("&Повторение:"), m_repeatCombo);
    m_weekdays = new QWidget(m_panel);
    m_weekdays->setObjectName(QStringLiteral("weekdays"));
    auto *days = new QHBoxLayout(m_weekdays);
    days->setContentsMargins(0, 0, 0, 0);
    const char16_t *const dayNames[] = {u"пн", u"вт", u"ср", u"чт", u"пт", u"сб", u"нд"};
    for (const char16_t *day : dayNames) {
        auto *box = new QCheckBox(QString::fromUtf16(day), m_weekdays);
        box->setObjectName(QStringLiteral("weekday%1").arg(m_weekdayBoxes.size() + 1));
        days->addWidget(box);
        m_weekdayBoxes << box;
    }
    days->addStretch(1);
    m_untilBox = new QCheckBox(QStringLiteral("До:"), m_panel);
    m_untilBox->setObjectName(QStringLiteral("untilBox"));
    m_untilEdit = new QDateEdit(m_panel);
    m_untilEdit->setObjectName(QStringLiteral("untilEdit"));
    m_untilEdit->setCalendarPopup(true);
    m_untilEdit->setEnabled(false);
    connect(m_untilBox, &QCheckBox::toggled, m_untilEdit, &QWidget::setEnabled);
    connect(m_repeatCombo, &QComboBox::currentIndexChanged, this,
            [this] { guarded([this] { showRepeatChoice(); }); });

    m_okButton = new QPushButton(okButtonIcon(), QStringLiteral("&Запис"), m_panel);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setDefault(true);
    m_cancelButton = new QPushButton(cancelButtonIcon(), QStringLiteral("&Отмяна"), m_panel);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    connect(m_okButton, &QPushButton::clicked, this, &ReminderEditor::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &ReminderEditor::reject);

    // Two columns as in the design: the texts (which take the extra width) and the pickers.
    auto *grid = new QGridLayout;
    grid->setColumnStretch(0, 1);
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(dateLabel, 0, 1);
    grid->addWidget(m_nameEdit, 1, 0);
    grid->addWidget(m_dateEdit, 1, 1);
    grid->addWidget(notesLabel, 2, 0);
    grid->addWidget(timeLabel, 2, 1);
    grid->addWidget(m_notesEdit, 3, 0);
    grid->addWidget(m_timeEdit, 3, 1);
    grid->addWidget(repeatLabel, 4, 0);
    auto *repeatRow = new QHBoxLayout;
    repeatRow->addWidget(m_repeatCombo, 1);
    repeatRow->addWidget(m_untilBox);
    grid->addLayout(repeatRow, 5, 0);
    grid->addWidget(m_untilEdit, 5, 1);
    grid->addWidget(m_weekdays, 6, 0, 1, 2);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_cancelButton);

    auto *inside = new QVBoxLayout(m_panel);
    inside->addLayout(grid);
    inside->addStretch(1);
    inside->addSpacing(style()->pixelMetric(QStyle::PM_LayoutVerticalSpacing));
    inside->addLayout(buttons);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_panel);

    setTabOrder(m_nameEdit, m_notesEdit);
    setTabOrder(m_notesEdit, m_dateEdit);
    setTabOrder(m_dateEdit, m_timeEdit);
    setTabOrder(m_timeEdit, m_repeatCombo);
    setTabOrder(m_repeatCombo, m_untilBox);
    setTabOrder(m_untilBox, m_untilEdit);
    QWidget *previous = m_untilEdit;
    for (QCheckBox *box : std::as_const(m_weekdayBoxes)) {
        setTabOrder(previous, box);
        previous = box;
    }
    setTabOrder(previous, m_okButton);
    setTabOrder(m_okButton, m_cancelButton);
    setFocusProxy(m_nameEdit);

    applyFormats();
    showRepeatChoice();
}

void ReminderEditor::showEvent(QShowEvent *event)
{
    PersistentWindow::showEvent(event);
    // Each add and each edit starts in the name, whatever had the focus when it last closed.
    m_nameEdit->setFocus(Qt::OtherFocusReason);
}

void ReminderEditor::prepare()
{
    m_dateEdit->setDate(m_context.clock->now().date());
}

void ReminderEditor::clearTexts()
{
    for (QLineEdit *edit : m_panel->findChildren<QLineEdit *>(Qt::FindDirectChildrenOnly))
        edit->clear();
    // A new reminder does not repeat until the user says so.
    setDraft({QString(), m_dateEdit->date(), m_timeEdit->time(), QString(), QString()});
}

ReminderDraft ReminderEditor::draft() const
{
    return {m_nameEdit->text(), m_dateEdit->date(), m_timeEdit->time(), m_notesEdit->text(),
            repeatRuleChosen()};
}

void ReminderEditor::setDraft(const ReminderDraft &draft)
{
    m_nameEdit->setText(draft.name);
    m_dateEdit->setDate(draft.date);
    m_timeEdit->setTime(draft.time);
    m_notesEdit->setText(draft.notes);

    // The repeats as the row has them; a rule the choices cannot show stays as its own item.
    while (m_repeatCombo->count() > 6)
        m_repeatCombo->removeItem(6);
    m_otherRule.clear();
    const std::optional<RepeatRule> rule =
        draft.repeatRule.isEmpty() ? std::nullopt : RepeatRule::parse(draft.repeatRule);
    int choice = 0;
    QList<int> weekdays{draft.date.isValid() ? draft.date.dayOfWeek() : 1};
    if (rule && rule->kind() != RepeatRule::Kind::Other) {
        choice = 1 + int(rule->kind());
        if (rule->kind() == RepeatRule::Kind::Weekly && !rule->weekdays().isEmpty())
            weekdays = rule->weekdays();
    } else if (!draft.repeatRule.isEmpty()) {
        m_otherRule = draft.repeatRule;
        m_repeatCombo->addItem(draft.repeatRule);
        choice = 6;
    }
    for (int day = 1; day <= 7; ++day)
        m_weekdayBoxes[day - 1]->setChecked(weekdays.contains(day));
    m_untilBox->setChecked(rule && rule->until().isValid());
    m_untilEdit->setDate(rule && rule->until().isValid() ? rule->until() : draft.date);
    m_repeatCombo->setCurrentIndex(choice);
    showRepeatChoice();
}

QString ReminderEditor::repeatRuleChosen() const
{
    const int choice = m_repeatCombo->currentIndex();
    if (choice <= 0)
        return {};
    if (choice > 5)
        return m_otherRule;
    const auto kind = RepeatRule::Kind(choice - 1);
    QList<int> weekdays;
    for (int day = 1; day <= 7; ++day) {
        if (m_weekdayBoxes[day - 1]->isChecked())
            weekdays << day;
    }
    if (kind == RepeatRule::Kind::Weekly && weekdays.isEmpty())
        weekdays << m_dateEdit->date().dayOfWeek();
    return RepeatRule::build(kind, weekdays,
                             m_untilBox->isChecked() ? m_untilEdit->date() : QDate());
}

void ReminderEditor::showRepeatChoice()
{
    const int choice = m_repeatCombo->currentIndex();
    // A rule from elsewhere keeps its own end; the choices' end applies to theirs.
    const bool editable = choice >= 1 && choice <= 5;
    m_untilBox->setVisible(editable);
    m_untilEdit->setVisible(editable);
    m_weekdays->setVisible(choice == 1 + int(RepeatRule::Kind::Weekly));
}

void ReminderEditor::accept()
{
    const QString rule = repeatRuleChosen();
    if (m_repeatCombo->currentIndex() <= 5 && !rule.isEmpty() && m_untilBox->isChecked() &&
        m_untilEdit->date() < m_dateEdit->date()) {
        showErrorBox(QStringLiteral("Крайната дата на повторението е преди датата на "
                                    "напомнянето"));
        m_untilEdit->setFocus(Qt::OtherFocusReason);
        return;
    }
    PersistentWindow::accept();
}

void ReminderEditor::applyFormats()
{
    const LocaleFormats &f = *m_context.formats;
    m_dateEdit->setLocale(f.locale());
    m_dateEdit->setDisplayFormat(pickerDatePattern(f.shortDatePattern()));
    m_timeEdit->setLocale(f.locale());
    m_timeEdit->setDisplayFormat(pickerTimePattern(f));
    m_untilEdit->setLocale(f.locale());
    m_untilEdit->setDisplayFormat(pickerDatePattern(f.shortDatePattern()));
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
