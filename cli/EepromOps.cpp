// The EEPROM and identity buttons as svcadjust-cli operations: market
// destination, head ID, USB ID, IEEE 1394 ID, EEPROM data copy, EEPROM viewer,
// printer information and the waste-ink pad counter.
#include "cli/CliFrame.h"
#include "cli/JournalOps.h"
#include "cli/Operations.h"
#include "eeprom/VexDataConversion.h"
#include "eeprom/VexEepromCopy.h"
#include "eeprom/VexHeadId.h"
#include "eeprom/VexIeee1394.h"
#include "eeprom/VexMarketSetting.h"
#include "eeprom/VexUsbId.h"
#include "i18n/Translate.h"

#include <cctype>
#include <cstdio>
#include <utility>
#include <vector>

namespace svc::cli {

namespace {

// What the window's upper-case edit field of that size would hold, or a usage error.
std::string TypeUpper(CliFrame& frame, const char* field, std::string text, std::size_t maxLength) {
    if (text.size() > maxLength)
        return Format(Tr("at most %1 characters fit the field, not %2"),
                      {std::to_string(maxLength), std::to_string(text.size())});
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    frame.SetText(field, text);
    return {};
}

// The check of an operation whose arguments are typed into fields of these sizes.
std::function<std::string(const Arguments&)> FitFields(std::vector<std::size_t> maxLengths) {
    return [maxLengths = std::move(maxLengths)](const Arguments& args) {
        for (std::size_t i = 0; i < args.size() && i < maxLengths.size(); ++i)
            if (args[i].size() > maxLengths[i])
                return Format(Tr("at most %1 characters fit the field, not %2"),
                              {std::to_string(maxLengths[i]), std::to_string(args[i].size())});
        return std::string();
    };
}

// A button without arguments.
Operation Button(const char* name, const char* help, Group group, int item, void (*click)(FeatureFrame&),
                 std::function<void(CliFrame&)> chosen = nullptr) {
    return {name, "", help, 0, 0, group, item, std::move(chosen), [click](CliFrame& frame, const Arguments&) {
                click(frame);
                return std::string();
            }};
}

void HeadIdChosen(CliFrame& frame) { HeadID().HeadIDChosen(frame); }
void ViewerChosen(CliFrame& frame) {
    DataConversion().FillGridHeadings(frame);
    DataConversion().EepromViewerChosen(frame);
}

}  // namespace

OperationList EepromOperations() {
    OperationList ops;
    const Group adj = Group::Adjustment, mnt = Group::Maintenance, app = Group::Appendix;

    // ---- market destination ----
    ops.push_back(Button("market-ok", SVC_N("market destination OK: write the setting for the --model"), adj,
                         kMarketItem, DefaultSetOKBtnClick));
    ops.push_back(Button("market-check", SVC_N("market destination Check: verify the setting, show the model name"),
                         adj, kMarketItem, DestCheckBtnClick));

    // ---- head ID ----
    ops.push_back({"head-id-input", "HEADID", SVC_N("head ID Input: check and write the 25-character head ID"), 1, 1,
                   adj, kHeadIdItem, HeadIdChosen,
                   [](CliFrame& frame, const Arguments& args) {
                       if (std::string e = TypeUpper(frame, "HeadIDInputEdit", args[0], TPHeadID::kTextLength);
                           !e.empty())
                           return e;
                       HeadID().HeadIDInputOKBtnClick(frame);
                       return std::string();
                   },
                   FitFields({TPHeadID::kTextLength})});
    ops.push_back(Button(
        "head-id-read", SVC_N("head ID Read: show the stored head ID"), adj, kHeadIdItem,
        [](FeatureFrame& f) { HeadID().HeadIDReadBtnClick(f); }, HeadIdChosen));
    ops.push_back(Button(
        "head-check-print", SVC_N("head check print page Print: print the head check pattern"), adj, kHeadIdItem,
        [](FeatureFrame& f) { HeadID().HeadCheckPrintBtnClick(f); }, HeadIdChosen));

    // ---- USB ID ----
    ops.push_back({"usb-id-input", "SERIAL",
                   SVC_N("USB ID Input: write the 10-character serial number and a time stamp from the PC's clock"), 1,
                   1, adj, kUsbIdItem, nullptr,
                   [](CliFrame& frame, const Arguments& args) {
                       if (std::string e = TypeUpper(frame, "USBIDInputEdit", args[0], TPUsbId::kSerialLength);
                           !e.empty())
                           return e;
                       UsbId().USBIDInputOKBtnClick(frame);
                       return std::string();
                   },
                   FitFields({TPUsbId::kSerialLength})});
    ops.push_back(Button("usb-id-read", SVC_N("USB ID Read: show the stored USB ID"), adj, kUsbIdItem,
                         [](FeatureFrame& f) { UsbId().USBIDReadOutBtnClick(f); }));

    // ---- IEEE 1394 ID ----
    ops.push_back({"ieee1394-id-input", "ID", SVC_N("IEEE1394 ID OK: check and write the 10-hex-digit IEEE 1394 ID"), 1,
                   1, adj, kIeee1394Item, nullptr,
                   [](CliFrame& frame, const Arguments& args) {
                       if (std::string e = TypeUpper(frame, "IEEE1394IDInputEdit", args[0], TPIEEE1394::kTextLength);
                           !e.empty())
                           return e;
                       Ieee1394().IEEE1394IDInputOKBtnClick(frame);
                       return std::string();
                   },
                   FitFields({TPIEEE1394::kTextLength})});
    ops.push_back(Button("ieee1394-id-read", SVC_N("IEEE1394 ID Read ID: show the stored IEEE 1394 ID"), adj,
                         kIeee1394Item, [](FeatureFrame& f) { Ieee1394().IEEE1394IDReadBtnClick(f); }));

    // ---- EEPROM data copy ----
    ops.push_back(Button("backup", SVC_N("EEPROM data backup: save the old board's EEPROM data to the backup file"),
                         mnt, kEepromCopyItem,
                         [](FeatureFrame& f) { EepromCopy().EepDataCopyBackUpStartPnlClick(f); }));
    ops.push_back({"restore", "[--from-journal BACKUP-ID]",
                   SVC_N("EEPROM data restore: write the backup file into the new board, then delete it (or a backup "
                         "the service journal keeps, on any bench)"),
                   0, 2, mnt, kEepromCopyItem, nullptr, [](CliFrame& frame, const Arguments& args) {
                       if (!args.empty()) return RestoreFromJournal(frame, args);
                       EepromCopy().EepDataCopyLoadStartPnlClick(frame);
                       return std::string();
                   }});

    // ---- waste-ink pad counter ----
    ops.push_back(Button("waste-ink-read", SVC_N("Waste Ink Pad counter Read: show the counter"), mnt, kWasteInkItem,
                         [](FeatureFrame& f) { DataConversion().ProCounterCheckBtnClick(f); }));
    ops.push_back(Button("waste-ink-reset", SVC_N("Waste Ink Pad counter Reset: set the counter to zero (no question)"),
                         mnt, kWasteInkItem, [](FeatureFrame& f) { DataConversion().ProCounterClearBtnClick(f); }));

    // ---- EEPROM viewer ----
    ops.push_back(
        {"eeprom-view", "FIRST LAST",
         SVC_N("EEPROM data Read OK: read the addresses FIRST to LAST (two hex digits each) and print the grid"), 2, 2,
         app, kEepromViewerItem, ViewerChosen,
         [](CliFrame& frame, const Arguments& args) {
             if (std::string e = TypeUpper(frame, "EepromCheckBeginEdit", args[0], 2); !e.empty()) return e;
             if (std::string e = TypeUpper(frame, "EepromCheckEndEdit", args[1], 2); !e.empty()) return e;
             const int reports = frame.ErrorReports();
             DataConversion().EepromCheckOKBtnClick(frame);
             // The grid as the window shows it, also the cells read before a failure.
             if (frame.ErrorReports() != reports || frame.MemoColour() != TextColour::Red) {
                 frame.EndLine();
                 std::fputs(DataConversion().GridText(frame).c_str(), frame.Out());
                 std::fflush(frame.Out());
             }
             return std::string();
         },
         FitFields({2, 2})});
    ops.push_back({"eeprom-poke", "ADDRESS DATA",
                   SVC_N("EEPROM data Write OK: write one byte DATA at ADDRESS (two hex digits each)"), 2, 2, app,
                   kEepromViewerItem, ViewerChosen,
                   [](CliFrame& frame, const Arguments& args) {
                       if (std::string e = TypeUpper(frame, "EepromInputAddrEdit", args[0], 2); !e.empty()) return e;
                       if (std::string e = TypeUpper(frame, "EepromInputDataEdit", args[1], 2); !e.empty()) return e;
                       DataConversion().EepromInputOKBtnClick(frame);
                       return std::string();
                   },
                   FitFields({2, 2})});

    // ---- printer information ----
    ops.push_back(Button("printer-info", SVC_N("Printer information OK: list the ten usage counters"), app,
                         kPrinterInfoItem, [](FeatureFrame& f) { DataConversion().PrinterInfoReadOutOKBtnClick(f); }));
    return ops;
}

}  // namespace svc::cli
