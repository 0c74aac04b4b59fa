// A titled group of radio items of which at most one is selected, addressed
// by item index; -1 means nothing is selected.
#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

namespace svc::ui {

class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& objectName, const QString& title, const QStringList& items, QWidget* parent);

    int ItemIndex() const;
    // Selects an item without raising Click; -1 removes the selection.
    void SetItemIndex(int index);
    int Count() const;
    QRadioButton* Item(int index) const;
    void SetItemEnabled(int index, bool enabled);

signals:
    // The technician picked an item.
    void Click(int index);

private:
    QButtonGroup* buttons_;
};

}  // namespace svc::ui
