#include "src/FormStyle.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFont>
#include <QHBoxLayout>
#include <QPushButton>
#include <QWidget>

namespace {

QFont FormFont(const QFont& base)
{
    QFont font(base);
    font.setPixelSize(kFormFontPixels);
    return font;
}

}  // namespace

void ApplyFormFont(QWidget* pForm)
{
    pForm->setFont(FormFont(QApplication::font()));
}

void ApplyApplicationFont()
{
    QApplication::setFont(FormFont(QApplication::font()));
}

OkCancelRow AddOkCancelRow(QWidget* pForm, QBoxLayout* pLayout)
{
    auto* pRow = new QHBoxLayout;
    pRow->addStretch(1);
    OkCancelRow buttons{new QPushButton(QStringLiteral("&OK"), pForm),
                        new QPushButton(QStringLiteral("&Cancel"), pForm)};
    buttons.pOk->setObjectName(QStringLiteral("sbtnOK"));
    buttons.pOk->setDefault(true);
    buttons.pCancel->setObjectName(QStringLiteral("sbtnCancel"));
    for (QPushButton* pButton : {buttons.pOk, buttons.pCancel}) {
        pButton->setFixedSize(80, 27);
        pRow->addWidget(pButton);
    }
    pLayout->addLayout(pRow);
    return buttons;
}
