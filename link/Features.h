// The features of the main adjustment window, once: which tab and radio item
// each one has, its caption, its panel and further pages, the "Adjusted items"
// cells it fills, its svcadjust-cli operations and its how-to buttons. The
// window builds its tabs, radio groups and cell list from here, svcadjust-cli
// names the cells it prints from here, and the tests check the panels and the
// operations against it.
//
// Also the printer models of the start window: their names, the
// command-line word and the market destination of each.
#pragma once

#include "link/FeatureFrame.h"

#include <span>
#include <string_view>
#include <vector>

namespace svc {

// ---- tabs and their radio groups ----

struct GroupInfo {
    Group group;
    std::string_view tab;         // the tab's caption: "Check pattern"
    std::string_view radioGroup;  // the radio group's objectName: "CheckPatternRdoGrp"
    std::string_view title;       // the radio group's caption: "Check pattern items"
};

// The four groups in tab order.
std::span<const GroupInfo> Groups();
const GroupInfo& GroupOf(Group group);

// ---- "Adjusted items" ----

struct AdjustedCellInfo {
    std::string_view name;   // the cell's objectName: "BidVSD2DBkPnl"
    std::string_view title;  // how svcadjust-cli names it: "Bi-D VSD2' Black"
    bool emptiedAtClose;     // a closed connection empties it (the others keep their text)
};

// Every cell, in the order of the window's panel, top to bottom.
std::span<const AdjustedCellInfo> AdjustedCells();
const AdjustedCellInfo* FindAdjustedCell(std::string_view name);

// ---- features ----

struct FeatureInfo {
    Group group;
    int item;                                        // its radio item in the group
    std::string_view caption;                        // the radio item's text
    std::string_view panel;                          // objectName of the panel its item shows
    std::span<const std::string_view> pages;         // further panels it turns to
    std::span<const std::string_view> cells;         // "Adjusted items" cells it fills
    std::span<const std::string_view> operations;    // its svcadjust-cli operations
    std::span<const std::string_view> howToButtons;  // buttons that open a how-to window
    // Why the feature has no svcadjust-cli operation; empty when it has.
    std::string_view withoutOperation;
    // Usable on a printer in error (availability level 2). The check prints
    // go as one group: none of them is.
    bool usableInError = false;
};

// Every feature, by group in tab order, then by item.
std::span<const FeatureInfo> Features();
const FeatureInfo* FindFeature(Group group, int item);
// The feature whose panel or further page has that objectName.
const FeatureInfo* FindFeatureByPanel(std::string_view panel);
// The radio items' texts of one group, in order.
std::vector<std::string_view> ItemCaptions(Group group);

// ---- printer models ----

struct ModelInfo {
    int code;                      // the start window's model code (kModel4100, kModel4200)
    std::string_view name;         // "Corvid Lumen 4100": the model list, the main window's label
    std::string_view word;         // "4100": svcadjust-cli --model
    std::string_view destination;  // the start window's destination list: "Standard"
};

// The models in the order of the start window's list.
std::span<const ModelInfo> Models();
const ModelInfo* FindModel(int code);
const ModelInfo* FindModelByWord(std::string_view word);

}  // namespace svc
