#include "entryeditor.h"

namespace vellaro {

TForm3::TForm3(FormContext &context, QWidget *parent) : TBaseForm(context, parent)
{
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("Добавяне на напомняне"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
    setDesignBounds(309, 185, 401, 178);
    setFixedBorder(true);
}

} // namespace vellaro
