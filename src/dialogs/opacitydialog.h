#pragma once

#include "baseform.h"

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

namespace vellaro {

// Asks for the transparency percentage of every window. It is run modally and confirmed with
// its one button (or Enter); closing it any other way changes nothing. The text keeps what the
// user chose or typed from one use to the next.
class TOpacitySetForm final : public TBaseForm
{
    Q_OBJECT

public:
    explicit TOpacitySetForm(FormContext &context, QWidget *parent = nullptr);

    QString percentText() const;

    void Button1Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QFrame *Panel1 = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *pCombo = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *Button1 = nullptr;
};

} // namespace vellaro
