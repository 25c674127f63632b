#include "entryeditor.h"

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

QLabel *makeLabel(QWidget *parent, const char *name, const QString &caption, int left, int top,
                  QWidget *buddy)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->adjustSize();
    label->setBuddy(buddy);
    return label;
}

} // namespace

TForm3::TForm3(FormContext &context, QWidget *parent) : TBaseForm(context, parent)
{
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("Добавяне на напомняне"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(editorIcon());
    setDesignBounds(309, 185, 401, 178);
    setFixedBorder(true);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(2);
    Panel1->setGeometry(8, 8, 385, 161);

    EditName = new PlainLineEdit(Panel1);
    EditName->setObjectName(QStringLiteral("EditName"));
    EditName->setGeometry(16, 32, 233, 21);
    EditNotes = new PlainLineEdit(Panel1);
    EditNotes->setObjectName(QStringLiteral("EditNotes"));
    EditNotes->setGeometry(16, 80, 233, 21);

    DateTime = new QDateEdit(Panel1);
    DateTime->setObjectName(QStringLiteral("DateTime"));
    DateTime->setGeometry(256, 32, 113, 21);
    DateTime->setCalendarPopup(true);
    TimeInput = new QTimeEdit(Panel1);
    TimeInput->setObjectName(QStringLiteral("TimeInput"));
    TimeInput->setGeometry(256, 80, 113, 21);
    TimeInput->setTime(QTime(17, 11, 29));

    Label1 = makeLabel(Panel1, "Label1", QStringLiteral("&Име:"), 16, 16, EditName);
    Label2 = makeLabel(Panel1, "Label2", QStringLiteral("&Дата:"), 256, 16, DateTime);
    Label3 = makeLabel(Panel1, "Label3", QStringLiteral("&Осведомяване за:"), 16, 64, EditNotes);
    Label4 = makeLabel(Panel1, "Label4", QStringLiteral("&Час:"), 256, 64, TimeInput);

    BitBtn1 = new QPushButton(okButtonIcon(), QStringLiteral("&Запис"), Panel1);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(208, 120, 75, 25);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(cancelButtonIcon(), QStringLiteral("&Отмяна"), Panel1);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(296, 120, 75, 25);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { setModalResult(mrOk); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { setModalResult(mrCancel); });

    setTabOrder(EditName, EditNotes);
    setTabOrder(EditNotes, DateTime);
    setTabOrder(DateTime, TimeInput);
    setTabOrder(TimeInput, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setFocusProxy(EditName);

    applyFormats();
}

void TForm3::FormCreate()
{
    DateTime->setDate(m_context.clock->now().date());
}

void TForm3::Clear()
{
    for (QLineEdit *edit : Panel1->findChildren<QLineEdit *>(Qt::FindDirectChildrenOnly))
        edit->clear();
}

void TForm3::applyFormats()
{
    const LocaleFormats &f = *m_context.formats;
    DateTime->setLocale(f.locale());
    DateTime->setDisplayFormat(pickerDatePattern(f.shortDatePattern()));
    TimeInput->setLocale(f.locale());
    TimeInput->setDisplayFormat(pickerTimePattern(f));
}

void TForm3::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        BitBtn2->click();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto *button = qobject_cast<QPushButton *>(focusWidget()))
            button->click();
        else
            BitBtn1->click();
        return;
    default:
        TBaseForm::keyPressEvent(event);
    }
}

} // namespace vellaro
