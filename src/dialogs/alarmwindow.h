#pragma once

#include "baseform.h"

class QLabel;
class QPushButton;

namespace vellaro {

// The alarm window: shows one reminder that fell due until the user closes it. Centred on the
// desktop the first time it shows in a run, left where the user puts it afterwards.
class TForm4 final : public TBaseForm
{
    Q_OBJECT

public:
    explicit TForm4(FormContext &context, QWidget *parent = nullptr);

    void showReminder(const QString &dateText, const QString &name, const QString &timeText,
                      const QString &notes);
    void Button1Click();

    QLabel *Label7 = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label8 = nullptr;
    QLabel *LabelTime = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label6 = nullptr;
    QPushButton *Button1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool m_centred = false;
    bool m_pictureLoaded = false;
};

} // namespace vellaro
