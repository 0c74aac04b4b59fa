#include "ui/ServiceRecordWindow.h"

#include "eeprom/JournalUndo.h"
#include "journal/Recorder.h"
#include "journal/Report.h"
#include "journal/SqlStore.h"
#include "link/Connection.h"
#include "ui/Translated.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QTextDocument>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <map>

namespace svc::ui {

namespace {

using namespace svc::journal;

constexpr int kKindRole = Qt::UserRole;
constexpr int kIdRole = Qt::UserRole + 1;
constexpr int kPrinterRole = Qt::UserRole + 2;

QString Q(const std::string& s) { return QString::fromStdString(s); }

QString Hex(int v) {
    return QStringLiteral("0x") + QString::number(v & 0xFF, 16).rightJustified(2, QLatin1Char('0')).toUpper();
}

QString ModelName(int code) {
    return code == 1   ? QStringLiteral("Corvid Lumen 4100")
           : code == 2 ? QStringLiteral("Corvid Lumen 4200")
                       : Tr("model %1").arg(code);
}

QString PortName(int code) {
    for (std::size_t i = 0; i < kPortCodes.size(); ++i)
        if (kPortCodes[i] == code)
            return QString::fromLatin1(kPortNames[i].data(), static_cast<int>(kPortNames[i].size()));
    return QString::number(code);
}

// A printer without a USB ID as the list shows it: "head " and its head ID.
QString HeadKey(const QString& headId) { return Tr("head %1").arg(headId); }

// The key a session is listed under: its USB ID, else its head ID.
QString PrinterOf(const SessionRecord& s) {
    if (!s.usbId.empty()) return Q(s.usbId);
    if (!s.headId.empty()) return HeadKey(Q(s.headId));
    return {};
}

// The head ID of a key as the list shows it, in the technician's language or
// as written; empty for any other text.
QString HeadIdOf(const QString& key) {
    const QString mark = QStringLiteral("%1");
    for (const QString& pattern : {QStringLiteral("head %1"), Tr("head %1")}) {
        const qsizetype at = pattern.indexOf(mark);
        if (at < 0) continue;
        const QString before = pattern.left(at), after = pattern.mid(at + mark.size());
        if (!before.isEmpty() && key.startsWith(before) && key.endsWith(after) &&
            key.size() > before.size() + after.size())
            return key.mid(before.size(), key.size() - before.size() - after.size()).trimmed();
    }
    return {};
}

// What a backup of the journal is, as the list says it; the journal keeps
// the kind as written.
QString BackupKind(const std::string& kind) {
    if (kind == "backup") return Tr("backup");
    if (kind == "restored") return Tr("restored");
    if (kind == "replaced") return Tr("replaced");
    return Q(kind);
}

QTreeWidgetItem* Row(int kind, std::int64_t id, const QString& text, const QString& details) {
    auto* item = new QTreeWidgetItem({text, details});
    item->setData(0, kKindRole, kind);
    item->setData(0, kIdRole, QVariant::fromValue<qlonglong>(id));
    return item;
}

}  // namespace

ServiceRecordWindow::ServiceRecordWindow(Connection connection, QWidget* parent)
    : QWidget(parent, Qt::Window), connection_(std::move(connection)) {
    setObjectName(QStringLiteral("ServiceRecordWindow"));
    setWindowTitle(Tr("Service record"));
    resize(780, 560);

    auto* layout = new QVBoxLayout(this);
    auto* searchRow = new QHBoxLayout;
    auto* searchLbl = new QLabel(Tr("Printer ID:"), this);
    searchEdit_ = new QLineEdit(this);
    searchEdit_->setObjectName(QStringLiteral("PrinterSearchEdit"));
    searchEdit_->setPlaceholderText(Tr("USB ID or head ID; empty for every printer"));
    searchEdit_->setAccessibleName(Tr("Printer ID"));
    searchLbl->setBuddy(searchEdit_);
    auto* searchBtn = new QPushButton(Tr("Search"), this);
    searchBtn->setObjectName(QStringLiteral("PrinterSearchBtn"));
    auto* reloadBtn = new QPushButton(Tr("Reload"), this);
    reloadBtn->setObjectName(QStringLiteral("RecordReloadBtn"));
    searchRow->addWidget(searchLbl);
    searchRow->addWidget(searchEdit_, 1);
    searchRow->addWidget(searchBtn);
    searchRow->addWidget(reloadBtn);
    layout->addLayout(searchRow);

    tree_ = new QTreeWidget(this);
    tree_->setObjectName(QStringLiteral("RecordTree"));
    tree_->setAccessibleName(Tr("Printers, sessions and operations"));
    tree_->setHeaderLabels({Tr("Record"), Tr("Details")});
    tree_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    layout->addWidget(tree_, 3);

    auto* backupsLbl = new QLabel(Tr("Backups kept in the journal:"), this);
    layout->addWidget(backupsLbl);
    backups_ = new QTreeWidget(this);
    backups_->setObjectName(QStringLiteral("BackupList"));
    backups_->setAccessibleName(Tr("Backups kept in the journal"));
    backups_->setRootIsDecorated(false);
    backups_->setHeaderLabels({Tr("Backup"), Tr("Printer"), Tr("Details")});
    backupsLbl->setBuddy(backups_);
    layout->addWidget(backups_, 1);

    auto* buttons = new QHBoxLayout;
    undoBtn_ = new QPushButton(Tr("Undo..."), this);
    undoBtn_->setObjectName(QStringLiteral("RecordUndoBtn"));
    undoBtn_->setAccessibleName(Tr("Undo the selected operation"));
    restoreBtn_ = new QPushButton(Tr("Restore on this printer..."), this);
    restoreBtn_->setObjectName(QStringLiteral("RecordRestoreBtn"));
    restoreBtn_->setAccessibleName(Tr("Restore the selected backup on this printer"));
    auto* saveBtn = new QPushButton(Tr("Save report..."), this);
    saveBtn->setObjectName(QStringLiteral("RecordSaveReportBtn"));
    auto* printBtn = new QPushButton(Tr("Print / PDF..."), this);
    printBtn->setObjectName(QStringLiteral("RecordPrintReportBtn"));
    printBtn->setAccessibleName(Tr("Print the report or save it as PDF"));
    auto* closeBtn = new QPushButton(Tr("Close"), this);
    closeBtn->setObjectName(QStringLiteral("RecordCloseBtn"));
    for (QPushButton* b : {undoBtn_, restoreBtn_, saveBtn, printBtn}) buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(closeBtn);
    layout->addLayout(buttons);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("RecordStatusLbl"));
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(status_);

    connect(searchBtn, &QPushButton::clicked, this, [this] { Search(searchEdit_->text()); });
    connect(searchEdit_, &QLineEdit::returnPressed, this, [this] { Search(searchEdit_->text()); });
    connect(reloadBtn, &QPushButton::clicked, this, &ServiceRecordWindow::Reload);
    connect(undoBtn_, &QPushButton::clicked, this, &ServiceRecordWindow::UndoClick);
    connect(restoreBtn_, &QPushButton::clicked, this, &ServiceRecordWindow::RestoreClick);
    connect(saveBtn, &QPushButton::clicked, this, &ServiceRecordWindow::SaveReportClick);
    connect(printBtn, &QPushButton::clicked, this, &ServiceRecordWindow::PrintReportClick);
    connect(closeBtn, &QPushButton::clicked, this, &QWidget::close);
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this] { UpdateButtons(); });
    connect(backups_, &QTreeWidget::currentItemChanged, this, [this] { UpdateButtons(); });
    Reload();
}

void ServiceRecordWindow::Search(const QString& printer) {
    searchEdit_->setText(printer.trimmed());
    Reload();
}

void ServiceRecordWindow::Reload() {
    printer_ = searchEdit_->text().trimmed();
    // A head ID as the list shows it ("head 3A7F...") is searched by its hex.
    if (const QString head = HeadIdOf(printer_); !head.isEmpty()) printer_ = head;
    tree_->clear();
    backups_->clear();
    Store* store = Journal().CurrentStore();
    if (!store) {
        Say(Tr("The service journal (%1) is not available.").arg(Q(ConfiguredJournal())), true);
        UpdateButtons();
        return;
    }
    const std::string printer = printer_.toStdString();
    try {
        std::map<QString, QTreeWidgetItem*> printers;
        for (const SessionRecord& s : store->Sessions(printer)) {
            const QString key = PrinterOf(s);
            QTreeWidgetItem*& top = printers[key];
            if (!top) {
                top = Row(kPrinterRow, 0, key.isEmpty() ? Tr("(identity not read)") : key, {});
                // What the journal is searched by: the USB ID, or the head ID's hex.
                top->setData(0, kPrinterRole, Q(s.usbId.empty() ? s.headId : s.usbId));
                tree_->addTopLevelItem(top);
            }
            QString identity = ModelName(s.model);
            if (!s.usbId.empty()) identity = Tr("%1, USB ID %2").arg(identity, Q(s.usbId));
            if (!s.headId.empty()) identity = Tr("%1, head ID %2").arg(identity, Q(s.headId));
            top->setText(1, identity);
            auto* session = Row(
                kSessionRow, s.id, Tr("Session %1").arg(s.id),
                Tr("%1 UTC, bench %2, %3 on %4").arg(Q(s.started), Q(s.bench), ModelName(s.model), PortName(s.port)));
            top->addChild(session);
            for (const OperationRecord& op : store->Operations(s.id)) {
                const QString result =
                    op.result == 1 ? Tr("done")
                    : op.result == 0
                        ? Tr("stopped")
                        : Tr("stopped (0x%1)")
                              .arg(QString::number(op.result, 16).rightJustified(4, QLatin1Char('0')).toUpper());
                auto* item =
                    Row(kOperationRow, op.id, Tr("Operation %1").arg(op.id),
                        QStringLiteral("%1 %2%3  %4")
                            .arg(Q(op.started), Q(op.name),
                                 op.arguments.empty() ? QString() : QStringLiteral(" ") + Q(op.arguments), result));
                session->addChild(item);
                for (const ByteRecord& b : op.bytes) {
                    if (b.access != Access::Write) continue;
                    QString text = QStringLiteral("%1 %2: %3 -> %4")
                                       .arg(Hex(b.address), Tr(ItemAt(b.address).name),
                                            b.previous ? Hex(*b.previous) : QStringLiteral("?"), Hex(b.value));
                    if (b.result != 1) text += Tr("  (may not have arrived)");
                    item->addChild(Row(0, op.id, text, {}));
                }
            }
        }
        // Backups name a printer without a serial number "head " and its head ID.
        std::vector<BackupRecord> backups = store->Backups(printer);
        if (!printer.empty())
            for (const BackupRecord& b : store->Backups("head " + printer)) backups.push_back(b);
        for (const BackupRecord& b : backups) {
            auto* item = new QTreeWidgetItem({Tr("Backup %1").arg(b.id), Q(b.printer),
                                              Tr("%1, %2 UTC on bench %3 (operation %4)")
                                                  .arg(BackupKind(b.kind), Q(b.taken), Q(b.bench))
                                                  .arg(b.operationId)});
            item->setData(0, kKindRole, kBackupRow);
            item->setData(0, kIdRole, QVariant::fromValue<qlonglong>(b.id));
            backups_->addTopLevelItem(item);
        }
    } catch (const StoreError& e) {
        Say(Tr("The service journal cannot be read: %1").arg(Q(e.what())), true);
        UpdateButtons();
        return;
    }
    tree_->expandToDepth(1);
    if (tree_->topLevelItemCount() == 0 && backups_->topLevelItemCount() == 0)
        Say(printer_.isEmpty() ? Tr("The journal is empty.") : Tr("Nothing is recorded for %1.").arg(printer_), false);
    else
        Say(Tr("The service journal: %1.").arg(Q(store->Describe())), false);
    UpdateButtons();
}

bool ServiceRecordWindow::Select(int kind, std::int64_t id) {
    QTreeWidget* list = kind == kBackupRow ? backups_ : tree_;
    for (QTreeWidgetItemIterator it(list); *it; ++it)
        if ((*it)->data(0, kKindRole).toInt() == kind && (*it)->data(0, kIdRole).toLongLong() == id) {
            list->setCurrentItem(*it);
            return true;
        }
    return false;
}

std::int64_t ServiceRecordWindow::SelectedOperation() const {
    const QTreeWidgetItem* item = tree_->currentItem();
    // A byte row stands for its operation.
    if (item && (item->data(0, kKindRole).toInt() == kOperationRow || item->data(0, kKindRole).toInt() == 0))
        return item->data(0, kIdRole).toLongLong();
    return 0;
}

std::int64_t ServiceRecordWindow::SelectedBackup() const {
    const QTreeWidgetItem* item = backups_->currentItem();
    return item ? item->data(0, kIdRole).toLongLong() : 0;
}

ReportScope ServiceRecordWindow::SelectedScope() const {
    ReportScope scope{printer_.toStdString(), 0};
    for (const QTreeWidgetItem* item = tree_->currentItem(); item; item = item->parent()) {
        const int kind = item->data(0, kKindRole).toInt();
        if (kind == kSessionRow && scope.session == 0) scope.session = item->data(0, kIdRole).toLongLong();
        if (kind == kPrinterRow) {
            const QString key = item->data(0, kPrinterRole).toString();
            if (!key.isEmpty()) scope.printer = key.toStdString();
        }
    }
    return scope;
}

QString ServiceRecordWindow::ReportHtml() const {
    Store* store = Journal().CurrentStore();
    if (!store) return {};
    try {
        return Q(ServiceReportHtml(*store, SelectedScope()));
    } catch (const StoreError&) {
        return {};
    }
}

bool ServiceRecordWindow::SaveReport(const QString& path, QString& error) const {
    const QString html = ReportHtml();
    if (html.isEmpty()) {
        error = Tr("the service journal cannot be read");
        return false;
    }
    QSaveFile file(path);
    const QByteArray bytes = html.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

void ServiceRecordWindow::PrintReport(QPrinter& printer) const {
    QTextDocument document;
    document.setHtml(ReportHtml());
    document.print(&printer);
}

void ServiceRecordWindow::SaveReportClick() {
    const QString path = QFileDialog::getSaveFileName(this, Tr("Save report"), QStringLiteral("service-report.html"),
                                                      QStringLiteral("HTML (*.html *.htm)"));
    if (path.isEmpty()) return;
    QString error;
    if (SaveReport(path, error))
        Say(Tr("The report was saved in %1.").arg(path), false);
    else
        Say(Tr("The report cannot be saved in %1: %2").arg(path, error), true);
}

void ServiceRecordWindow::PrintReportClick() {
    if (!Journal().CurrentStore()) {
        Say(Tr("The service journal is not available."), true);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(Tr("Service report"));
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(Tr("Print / PDF"));
    if (dialog.exec() != QDialog::Accepted) return;
    PrintReport(printer);
    Say(printer.outputFormat() == QPrinter::PdfFormat
            ? Tr("The report was written to %1.").arg(printer.outputFileName())
            : Tr("The report was sent to the printer %1.").arg(printer.printerName()),
        false);
}

FeatureFrame* ServiceRecordWindow::OpenConnection(const QString& notConnected) {
    FeatureFrame* frame = connection_ ? connection_() : nullptr;
    if (!frame) Say(notConnected, true);
    return frame;
}

void ServiceRecordWindow::UndoClick() {
    const std::int64_t id = SelectedOperation();
    if (id == 0) {
        Say(Tr("Select an operation to undo."), true);
        return;
    }
    const eepfeature::UndoJob job = eepfeature::LoadUndo(Journal().CurrentStore(), id);
    if (!job.error.empty()) {
        Say(Q(job.error), true);
        return;
    }
    QString lines;
    for (const std::string& line : eepfeature::UndoLines(job)) lines += QStringLiteral("\n  ") + Q(line);
    if (job.plan.bytes.empty()) {
        Say(Tr("Operation %1 changed nothing; there is nothing to write back.%2").arg(id).arg(lines), false);
        return;
    }
    FeatureFrame* frame =
        OpenConnection(Tr("No printer is connected (or the main window is busy with an operation), so nothing can be "
                          "written back. Connect to the printer from the start window (OK) and wait until the main "
                          "window is ready, then try again."));
    if (!frame) return;
    const QString question = Tr("%1 wrote these bytes; they are written back (now -> before):%2\n\n"
                                "Write %3 byte(s) back into the printer?")
                                 .arg(Q(eepfeature::UndoTitle(job)), lines)
                                 .arg(job.plan.bytes.size());
    bool asked = false;
    // Recorded as the command line records it; the main window ends it.
    Journal().BeginOperation("undo", std::to_string(id));
    eepfeature::WriteUndo(*frame, job, [&] {
        asked = true;
        return Ask(Tr("Undo"), question);
    });
    Say(asked ? Tr("Undo of operation %1: see the main window's status.").arg(id)
              : Tr("Operation %1 was not undone: see the main window's status.").arg(id),
        false);
    Reload();
}

void ServiceRecordWindow::RestoreClick() {
    const std::int64_t id = SelectedBackup();
    if (id == 0) {
        Say(Tr("Select a backup to restore."), true);
        return;
    }
    std::optional<BackupRecord> backup;
    try {
        if (Store* store = Journal().CurrentStore()) backup = store->Backup(id);
    } catch (const StoreError& e) {
        Say(Tr("The service journal cannot be read: %1").arg(Q(e.what())), true);
        return;
    }
    if (!backup) {
        Say(Tr("Backup %1 is not in the service journal.").arg(id), true);
        return;
    }
    FeatureFrame* frame =
        OpenConnection(Tr("No printer is connected (or the main window is busy with an operation), so no backup can be "
                          "restored. Connect to the printer from the start window (OK) and wait until the main "
                          "window is ready, then try again."));
    if (!frame) return;
    if (!Ask(Tr("Restore"),
             Tr("Write backup %1 of printer %2 (%3 %4 UTC on bench %5) into the connected printer?")
                 .arg(id)
                 .arg(Q(backup->printer), BackupKind(backup->kind), Q(backup->taken), Q(backup->bench)))) {
        Say(Tr("Nothing was written."), false);
        return;
    }
    Journal().BeginOperation("restore", "--from-journal " + std::to_string(id));
    eepfeature::RestoreJournalBackup(*frame, *backup);
    Say(Tr("Restore of backup %1: see the main window's status.").arg(id), false);
    Reload();
}

bool ServiceRecordWindow::Ask(const QString& title, const QString& text) {
    if (confirm_) return confirm_(title, text);
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void ServiceRecordWindow::UpdateButtons() {
    undoBtn_->setEnabled(SelectedOperation() != 0);
    restoreBtn_->setEnabled(SelectedBackup() != 0);
}

void ServiceRecordWindow::Say(const QString& text, bool error) {
    status_->setText(text);
    status_->setStyleSheet(error ? QStringLiteral("color: #b00000") : QString());
}

QString ServiceRecordWindow::StatusText() const { return status_->text(); }

}  // namespace svc::ui
