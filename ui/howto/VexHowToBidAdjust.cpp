#include "ui/howto/VexHowToBidAdjust.h"
#include "ui/Translated.h"

#include <algorithm>

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace svc::ui {

namespace {
constexpr int kExampleWidth = 341;
constexpr QSize kArt{200, 111};
}  // namespace

THowToBidAdjustForm::THowToBidAdjustForm()
    : THowToForm(QStringLiteral("HowToBidAdjustForm"), Tr("How to Bi-D adjustment"), {357, 238}) {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(8, 5, 8, 2);
    page->setSpacing(4);

    QGridLayout* steps = MakeStepGrid();
    steps->setVerticalSpacing(2);
    AddStep(steps, QStringLiteral("1."), Tr("Print the Bi-D Adjustment pattern."));
    AddStep(steps, QStringLiteral("2."), Tr("Check the printed pattern."));
    AddFollowOn(steps, Tr("Input the adjustment value of straight line in the printed lines."));
    page->addLayout(steps);

    // The example: the picture in the middle, each hint under the line group
    // it belongs to. The hints are wider than the picture, so they are placed
    // by hand on a strip as wide as the page.
    auto* example = new QWidget(this);
    QWidget* picture = MakePicture(QStringLiteral("bid_lines"), kArt);
    picture->setParent(example);
    const int pictureLeft = (kExampleWidth - picture->width()) / 2;
    picture->move(pictureLeft, 0);

    const int hintTop = picture->height() + 1;
    const int hintWidth = kExampleWidth / 2 - 4;
    QLabel* smaller = MakeText(Tr("Input the smaller adjustment value."), kCaptionPx);
    QLabel* larger = MakeText(Tr("Input the larger adjustment value."), kCaptionPx);
    int hintHeight = 0;
    for (QLabel* hint : {smaller, larger}) {
        hint->setParent(example);
        hint->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        hintHeight = std::max(hintHeight, hint->heightForWidth(hintWidth));
    }
    smaller->setGeometry(0, hintTop, hintWidth, hintHeight);
    larger->setGeometry(kExampleWidth - hintWidth, hintTop, hintWidth, hintHeight);
    example->setFixedSize(kExampleWidth, hintTop + hintHeight);

    page->addStretch(1);
    page->addWidget(example, 0, Qt::AlignHCenter);
}

}  // namespace svc::ui
