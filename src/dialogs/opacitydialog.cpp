#include "opacitydialog.h"

#include "guard.h"
#include "opacity.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyle>

namespace vellaro {

namespace {

// A caption whose "&" underlines its letter although no control is tied to it, so the letter
// is shown but does nothing.
class MnemonicLabel final : public QLabel
{
public:
    using QLabel::QLabel;

    QSize sizeHint() const override
    {
        return fontMetrics().size(Qt::TextShowMnemonic, text()) + QSize(1, 0);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        style()->drawItemText(&p, contentsRect(),
                              Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, palette(),
                              isEnabled(), text(), foregroundRole());
    }
};

bool isEnterKey(const QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent *>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

TOpacitySetForm::TOpacitySetForm(FormContext &context, QWidget *parent) : TBaseForm(context, parent)
{
    setObjectName(QStringLiteral("TOpacitySetForm"));
    setWindowTitle(QStringLiteral("Прозрачност на прозорците"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setDesignBounds(311, 200, 337, 120);
    setFixedBorder(true);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Panel1->setGeometry(8, 8, 321, 73);

    Label1 = new MnemonicLabel(QStringLiteral("&Процент на прозрачност: "), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(10, 13);
    Label1->resize(Label1->sizeHint());

    pCombo = new QComboBox(Panel1);
    pCombo->setObjectName(QStringLiteral("pCombo"));
    pCombo->setEditable(true);
    // The list is fixed; what the user types is used once and never added to it.
    pCombo->setInsertPolicy(QComboBox::NoInsert);
    pCombo->addItems({QStringLiteral("100"), QStringLiteral("90"), QStringLiteral("80"),
                      QStringLiteral("70"), QStringLiteral("60"), QStringLiteral("50"),
                      QStringLiteral("40"), QStringLiteral("30"), QStringLiteral("20"),
                      QStringLiteral("10"), QStringLiteral("0")});
    pCombo->setCurrentIndex(-1);
    pCombo->setEditText(QString::fromUtf16(kOpacityPromptText));
    const QString hint = QStringLiteral("Задаване на стойност на прозрачност [%]");
    pCombo->setToolTip(hint);
    pCombo->setStatusTip(hint);
    pCombo->setGeometry(160, 8, 145, pCombo->sizeHint().height());
    pCombo->installEventFilter(this);
    pCombo->lineEdit()->installEventFilter(this);

    Label2 = new QLabel(QStringLiteral("0% съответства на непрозрачен прозорец"), Panel1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setTextFormat(Qt::PlainText);
    QPalette maroon = Label2->palette();
    maroon.setColor(QPalette::WindowText, QColor(128, 0, 0));
    Label2->setPalette(maroon);
    Label2->move(56, 48);
    Label2->adjustSize();

    Button1 = new QPushButton(QStringLiteral("&Потвърди"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(255, 88, 74, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this,
            guardedSlot(this, &TOpacitySetForm::Button1Click));

    setTabOrder(pCombo, Button1);
    setFocusProxy(pCombo);
}

QString TOpacitySetForm::percentText() const
{
    return pCombo->currentText();
}

void TOpacitySetForm::Button1Click()
{
    setModalResult(mrOk);
}

// Enter confirms from anywhere in the window, as the default button of a dialog does; while the
// combo box's list is open, Enter only picks from the list.
void TOpacitySetForm::keyPressEvent(QKeyEvent *event)
{
    if (isEnterKey(event)) {
        Button1->click();
        return;
    }
    TBaseForm::keyPressEvent(event);
}

bool TOpacitySetForm::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == pCombo || watched == pCombo->lineEdit()) && isEnterKey(event) &&
        !pCombo->view()->isVisible()) {
        Button1->click();
        return true;
    }
    return TBaseForm::eventFilter(watched, event);
}

} // namespace vellaro
