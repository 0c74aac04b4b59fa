#include "ui/RadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace svc::ui {

RadioGroup::RadioGroup(const QString& objectName, const QString& title, const QStringList& items, QWidget* parent)
    : QGroupBox(title, parent), buttons_(new QButtonGroup(this)) {
    setObjectName(objectName);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 4, 4);
    layout->setSpacing(0);
    for (int i = 0; i < items.size(); ++i) {
        auto* item = new QRadioButton(items[i], this);
        item->setObjectName(objectName + "Item" + QString::number(i));
        buttons_->addButton(item, i);
        layout->addWidget(item);
    }
    layout->addStretch();
    connect(buttons_, &QButtonGroup::idClicked, this, &RadioGroup::Click);
}

int RadioGroup::ItemIndex() const { return buttons_->checkedId(); }

void RadioGroup::SetItemIndex(int index) {
    // An exclusive group cannot be emptied: lift the rule for the moment.
    buttons_->setExclusive(false);
    for (QAbstractButton* b : buttons_->buttons()) b->setChecked(buttons_->id(b) == index);
    buttons_->setExclusive(true);
}

int RadioGroup::Count() const { return static_cast<int>(buttons_->buttons().size()); }

QRadioButton* RadioGroup::Item(int index) const { return qobject_cast<QRadioButton*>(buttons_->button(index)); }

void RadioGroup::SetItemEnabled(int index, bool enabled) {
    if (QRadioButton* item = Item(index)) item->setEnabled(enabled);
}

}  // namespace svc::ui
