// The service record: what the journal keeps, per printer, session and
// operation, with the bytes each operation wrote; an operation can be undone
// and a kept backup restored on the printer that is connected, and the
// service report saved as HTML or printed (PDF through the print dialog).
// A window of its own, not modal; the start window opens it (Ctrl+H).
#pragma once

#include "journal/Report.h"
#include "journal/Store.h"
#include "link/FeatureFrame.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace svc::ui {

class ServiceRecordWindow : public QWidget {
    Q_OBJECT
public:
    // The frame of the open connection (the main window while it is shown), or null.
    using Connection = std::function<FeatureFrame*()>;
    // Whether to go on (the Undo and Restore questions); the window's own boxes by default.
    using Confirm = std::function<bool(const QString& title, const QString& text)>;

    explicit ServiceRecordWindow(Connection connection, QWidget* parent = nullptr);

    // Reads the journal again (the search field's printer only, when filled).
    void Reload();
    // The printer whose record is listed ("" for all).
    void Search(const QString& printer);

    // What the report covers: the selected session, else the selected
    // printer, else every printer listed.
    journal::ReportScope SelectedScope() const;
    QString ReportHtml() const;
    bool SaveReport(const QString& path, QString& error) const;
    void PrintReport(QPrinter& printer) const;

    // The selected operation / backup in the lists, 0 when none.
    std::int64_t SelectedOperation() const;
    std::int64_t SelectedBackup() const;
    bool Select(int kind, std::int64_t id);  // kind: kSessionRow, kOperationRow or kBackupRow

    void SetConfirm(Confirm confirm) { confirm_ = std::move(confirm); }
    // The last message the window showed in its status line.
    QString StatusText() const;

    static constexpr int kPrinterRow = 1, kSessionRow = 2, kOperationRow = 3, kBackupRow = 4;

public slots:
    void UndoClick();
    void RestoreClick();
    void SaveReportClick();
    void PrintReportClick();

private:
    void UpdateButtons();
    void Say(const QString& text, bool error);
    bool Ask(const QString& title, const QString& text);
    // The connected printer's frame; without one, says `notConnected`.
    FeatureFrame* OpenConnection(const QString& notConnected);

    Connection connection_;
    Confirm confirm_;
    QLineEdit* searchEdit_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QTreeWidget* backups_ = nullptr;
    QPushButton* undoBtn_ = nullptr;
    QPushButton* restoreBtn_ = nullptr;
    QLabel* status_ = nullptr;
    QString printer_;
};

}  // namespace svc::ui
