#include "ui/howto/VexHowToHdAngAdjust.h"
#include "ui/Translated.h"

#include <QVBoxLayout>

namespace svc::ui {

THowToHdAngAdjustForm::THowToHdAngAdjustForm()
    : THowToForm(QStringLiteral("HowToHdAngAdjustForm"), Tr("How to the head angular adjustment"), {464, 351}) {
    // The diagram is the whole page and lies directly on the window.
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(4, 4, 4, 4);
    page->addWidget(MakePicture(QStringLiteral("head_angular"), {456, 343}, false));
}

}  // namespace svc::ui
