// The feature table against svcadjust-cli: each radio item's operations are
// there and open that item, each operation of an item is listed by its feature.
#include "cli/CliFrame.h"
#include "cli/Operations.h"
#include "link/Features.h"
#include "link/testing/FakeOutside.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace svc::cli {
namespace {

std::string Where(const FeatureInfo& f) { return std::string(f.caption) + " (" + std::string(f.panel) + ")"; }

TEST(FeatureTable, EachFeatureHasItsOperationsOrSaysWhyNot) {
    fake::Fake().Reset();  // the operations are looked at, never run: nothing reaches the printer
    for (const FeatureInfo& f : Features()) {
        EXPECT_TRUE(!f.operations.empty() || !f.withoutOperation.empty()) << Where(f);
        for (std::string_view name : f.operations) {
            const Operation* op = FindOperation(std::string(name));
            ASSERT_NE(op, nullptr) << Where(f) << " names an unknown operation " << name;
            EXPECT_EQ(op->group, f.group) << name;
            EXPECT_EQ(op->item, f.item) << name << " opens another item than " << Where(f);
        }
    }
}

TEST(FeatureTable, EachOperationOfAnItemIsListedOnceByItsFeature) {
    std::map<std::string_view, int> listed;
    for (const FeatureInfo& f : Features())
        for (std::string_view name : f.operations) ++listed[name];
    std::set<std::string> names;
    for (const Operation& op : AllOperations()) {
        EXPECT_TRUE(names.insert(op.name).second) << "two operations named " << op.name;
        if (op.item < 0) {
            // The frame's own buttons (Get Status, Paper feed) belong to no item.
            EXPECT_EQ(listed.count(op.name), 0u) << op.name;
            continue;
        }
        const FeatureInfo* f = FindFeature(op.group, op.item);
        ASSERT_NE(f, nullptr) << op.name << " opens an item the window does not have";
        EXPECT_NE(std::find(f->operations.begin(), f->operations.end(), op.name), f->operations.end())
            << op.name << " is not listed by " << Where(*f);
        EXPECT_EQ(listed[op.name], 1) << op.name;
    }
}

TEST(FeatureTable, CellsPrintUnderTheTablesTitles) {
    std::set<std::string_view> seen;
    for (const AdjustedCellInfo& cell : AdjustedCells()) {
        EXPECT_TRUE(seen.insert(cell.name).second) << cell.name;
        EXPECT_EQ(CliFrame::CellTitle(std::string(cell.name)), cell.title);
        EXPECT_EQ(FindFeatureByPanel(cell.name) != nullptr, cell.name == "IEEE1394IDPnl")
            << cell.name << ": a cell's name is a panel's only where the window has both";
    }
    EXPECT_EQ(CliFrame::CellTitle("NoSuchPnl"), "NoSuchPnl");
    EXPECT_TRUE(fake::Fake().Calls().empty());
}

TEST(FeatureTable, ModelsByCodeAndWord) {
    ASSERT_EQ(Models().size(), 2u);
    EXPECT_EQ(FindModel(kModel4100)->name, "Corvid Lumen 4100");
    EXPECT_EQ(FindModel(kModel4200)->name, "Corvid Lumen 4200");
    EXPECT_EQ(FindModelByWord("4200")->code, kModel4200);
    EXPECT_EQ(FindModel(kModel4200)->destination, "TRN/VLK");
    EXPECT_EQ(FindModel(kModelNoneCode), nullptr);
    EXPECT_EQ(FindModelByWord("4300"), nullptr);
    EXPECT_EQ(FindModelByWord(""), nullptr);
}

}  // namespace
}  // namespace svc::cli
