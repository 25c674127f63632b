#include "alarmwindow.h"

namespace vellaro {

TForm4::TForm4(FormContext &context, QWidget *parent) : TBaseForm(context, parent)
{
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(QStringLiteral("Напомняне ..."));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setDesignBounds(258, 291, 443, 125);
    setFixedBorder(true);
}

} // namespace vellaro
