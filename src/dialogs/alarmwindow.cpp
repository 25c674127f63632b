#include "alarmwindow.h"

#include "guard.h"

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

TForm4::TForm4(FormContext &context, QWidget *parent) : TBaseForm(context, parent)
{
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(QStringLiteral("Напомняне ..."));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setDesignBounds(258, 291, 443, 125);
    setFixedBorder(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    const QFont caption = makeFont(QStringLiteral("MS Sans Serif"), 11, true);
    const QFont value = makeFont(QStringLiteral("MS Sans Serif"), 13, true);
    const QColor maroon(128, 0, 0);
    const QColor navy(0, 0, 128);

    Label7 = makeLabel(this, "Label7", QStringLiteral("Бележка за днешната дата:"), 8, 8,
                       makeFont(QStringLiteral("Verdana"), 16, true, true), Qt::red);
    Label7->resize(256, 18);
    Label7->setAutoFillBackground(true);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(8, 33, 385, 3);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Label1 = makeLabel(this, "Label1", QStringLiteral("Дата:"), 8, 51, caption, maroon);
    Label4 = makeLabel(this, "Label4", QString(), 120, 50, value, navy);
    Label8 = makeLabel(this, "Label8", QStringLiteral("Час:"), 288, 51, caption, maroon);
    LabelTime = makeLabel(this, "LabelTime", QString(), 368, 50, value, navy);
    Label2 = makeLabel(this, "Label2", QStringLiteral("Име:"), 8, 75, caption, maroon);
    Label5 = makeLabel(this, "Label5", QString(), 120, 73, value, navy);
    Label3 = makeLabel(this, "Label3", QStringLiteral("Напомнящ текст:"), 8, 99, caption, maroon);
    Label6 = makeLabel(this, "Label6", QString(), 120, 97, value, navy);

    Button1 = new QPushButton(QStringLiteral("Затвори"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(355, 88, 75, 25);
    connect(Button1, &QPushButton::clicked, this, guardedSlot(this, &TForm4::Button1Click));
    setFocusProxy(Button1);
}

void TForm4::showReminder(const QString &dateText, const QString &name, const QString &timeText,
                          const QString &notes)
{
    const std::pair<QLabel *, QString> values[] = {
        {Label4, dateText}, {Label5, name}, {Label6, notes}, {LabelTime, timeText}};
    for (const auto &[label, text] : values) {
        label->setText(text);
        label->adjustSize();
    }
}

void TForm4::Button1Click()
{
    close();
}

void TForm4::showEvent(QShowEvent *event)
{
    // Read when first shown, like the About banner: not every run shows an alarm.
    if (!m_pictureLoaded) {
        m_pictureLoaded = true;
        Image1->setPixmap(QPixmap(QStringLiteral(":/pictures/alarm_rule.jpg")));
    }
    if (!m_centred) {
        m_centred = true;
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    TBaseForm::showEvent(event);
}

void TForm4::keyPressEvent(QKeyEvent *event)
{
    // The window has no cancel button: Esc does nothing.
    if (event->key() == Qt::Key_Escape)
        return;
    TBaseForm::keyPressEvent(event);
}

} // namespace vellaro
