#pragma once

#include "baseform.h"

namespace vellaro {

class TForm3 final : public TBaseForm
{
    Q_OBJECT

public:
    explicit TForm3(FormContext &context, QWidget *parent = nullptr);
};

} // namespace vellaro
