// A tab control whose tabs wrap to several rows when they do not fit in one,
// so every tab caption stays readable in a narrow region.
#pragma once

#include <QWidget>

class QButtonGroup;
class QGridLayout;
class QStackedWidget;

namespace svc::ui {

class TabControl : public QWidget {
    Q_OBJECT
public:
    // tabsPerRow: how many tabs share one row of the strip.
    TabControl(int tabsPerRow, QWidget* parent);

    void AddTab(QWidget* page, const QString& caption);
    int count() const;
    int currentIndex() const;
    // Switches the page; currentChanged follows when the tab really changes.
    void setCurrentIndex(int index);
    QString TabText(int index) const;

signals:
    void currentChanged(int index);

private:
    void Select(int index);

    int tabsPerRow_;
    QGridLayout* strip_;
    QButtonGroup* tabs_;
    QStackedWidget* pages_;
};

}  // namespace svc::ui
