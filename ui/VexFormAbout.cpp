#include "ui/VexFormAbout.h"

#include "ui/GuiHost.h"
#include "ui/Translated.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace svc::ui {

namespace {

// The program's picture: a photo printer with a sheet coming out.
QPixmap ProgramPicture() {
    QPixmap picture(64, 64);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(Qt::white);
    p.drawRect(18, 4, 28, 22);  // sheet in the feeder
    p.setBrush(QColor(90, 90, 110));
    p.drawRoundedRect(4, 22, 56, 26, 4, 4);  // body
    p.setBrush(Qt::white);
    p.drawRect(14, 42, 36, 18);  // printed sheet
    const QColor inks[] = {Qt::cyan, Qt::magenta, Qt::yellow, Qt::black};
    for (int i = 0; i < 4; ++i) p.fillRect(18 + i * 8, 48, 6, 6, inks[i]);
    return picture;
}

QLabel* Line(const QString& text, const char* name, bool bold, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    if (bold) label->setFont(QFont("Arial", 10, QFont::Bold));
    return label;
}

}  // namespace

TAboutBox::TAboutBox() {
    setObjectName("AboutBox");
    setWindowTitle(Tr("Version"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFont(QFont("Arial", 9));
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(166, 202, 240));
    setPalette(p);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 14);
    layout->setSpacing(6);
    auto* picture = new QLabel(this);
    picture->setObjectName("ProgramIcon");
    picture->setPixmap(ProgramPicture());
    picture->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture);
    layout->addWidget(Line(Tr("Corvid Lumen 4100/4200 adjustment program"), "ProductNameLbl", true, this));
    layout->addWidget(Line(Tr("for Windows 95/98/Me"), "SystemLbl", false, this));
    layout->addWidget(Line(Tr("Version 1.0"), "VersionLbl", false, this));
    layout->addWidget(Line(Tr("Service and adjustment after a repair"), "PurposeLbl", false, this));
    layout->addWidget(Line(Tr("For service technicians only"), "AudienceLbl", false, this));
    auto* ok = new QPushButton(Tr("OK"), this);
    ok->setObjectName("OKBtn");
    ok->setDefault(true);
    ok->setFixedWidth(90);
    layout->addSpacing(6);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    connect(ok, &QPushButton::clicked, this, &TAboutBox::OKBtnClick);
    setFixedSize(sizeHint());
    CentreOnScreen(this);
}

void TAboutBox::OKBtnClick() { accept(); }

}  // namespace svc::ui
