#include "src/FormStyle.h"

#include <QApplication>
#include <QFont>
#include <QWidget>

namespace {

QFont FormFont(const QFont& base)
{
    QFont font(base);
    font.setPixelSize(kFormFontPixels);
    return font;
}

} // namespace

void ApplyFormFont(QWidget* pForm)
{
    pForm->setFont(FormFont(QApplication::font()));
}

void ApplyApplicationFont()
{
    QApplication::setFont(FormFont(QApplication::font()));
}
