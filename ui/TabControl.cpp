#include "ui/TabControl.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace svc::ui {

namespace {

// The chosen tab joins its page; the others stand back in a darker shade.
const char* const kTabStyle =
    "QPushButton { border: 1px solid #8a9a94; border-bottom: none; border-top-left-radius: 3px;"
    " border-top-right-radius: 3px; padding: 3px 2px; background: #c4d4ce; }"
    "QPushButton:checked { background: palette(window); font-weight: bold; }"
    "QPushButton:disabled { color: #7a8a84; }";

}  // namespace

TabControl::TabControl(int tabsPerRow, QWidget* parent)
    : QWidget(parent),
      tabsPerRow_(tabsPerRow),
      strip_(new QGridLayout),
      tabs_(new QButtonGroup(this)),
      pages_(new QStackedWidget(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    strip_->setContentsMargins(2, 0, 2, 0);
    strip_->setSpacing(0);
    layout->addLayout(strip_);
    pages_->setObjectName("TabPages");
    pages_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    layout->addWidget(pages_, 1);
    connect(tabs_, &QButtonGroup::idClicked, this, &TabControl::setCurrentIndex);
}

void TabControl::AddTab(QWidget* page, const QString& caption) {
    const int index = pages_->addWidget(page);
    auto* tab = new QPushButton(caption, this);
    tab->setObjectName(objectName() + "Tab" + QString::number(index));
    tab->setCheckable(true);
    tab->setFocusPolicy(Qt::TabFocus);
    tab->setStyleSheet(kTabStyle);
    tabs_->addButton(tab, index);
    strip_->addWidget(tab, index / tabsPerRow_, index % tabsPerRow_);
    if (index == 0) tab->setChecked(true);
}

int TabControl::count() const { return pages_->count(); }

int TabControl::currentIndex() const { return pages_->currentIndex(); }

QString TabControl::TabText(int index) const {
    auto* tab = tabs_->button(index);
    return tab ? tab->text() : QString();
}

void TabControl::setCurrentIndex(int index) {
    if (index < 0 || index >= count()) return;
    tabs_->button(index)->setChecked(true);
    if (index == currentIndex()) return;
    Select(index);
    emit currentChanged(index);
}

void TabControl::Select(int index) { pages_->setCurrentIndex(index); }

}  // namespace svc::ui
