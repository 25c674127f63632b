#pragma once

#include "baseform.h"

namespace vellaro {

class TForm2 final : public TBaseForm
{
    Q_OBJECT

public:
    explicit TForm2(FormContext &context, QWidget *parent = nullptr);
};

} // namespace vellaro
