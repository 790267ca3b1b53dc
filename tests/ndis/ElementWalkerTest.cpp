#include "ndis/ElementWalker.h"

#include <gtest/gtest.h>

#include <vector>

#include "ndis/Elements.h"
#include "tests/support/HexBytes.h"

namespace tarvik::ndis {
namespace {

using testing_support::Bytes;
using testing_support::Hex;

TEST(ElementWalkerTest, DeliversWhatFitsAndStopsAtTheFirstBadElement) {
    const struct {
        const char* name;
        Bytes list;
        Bytes ids;  // delivered, in order
        NdisError error;
        std::size_t errorOffset;
    } rows[] = {{"Empty", {}, {}, NdisError::None, 0},
                {"ThreeElements", Hex("000261620301 06dd00"), {0, 3, 221}, NdisError::None, 0},
                {"LoneIdByte", Hex("000161 30"), {0}, NdisError::ElementHeaderTruncated, 3},
                {"BodyPastEnd", Hex("000161 30030100"), {0}, NdisError::ElementBodyPastEnd, 3},
                {"FirstMaxLength", Hex("ddff010203"), {}, NdisError::ElementBodyPastEnd, 0},
                {"ZeroLengthAtEnd", Hex("030106 3200"), {3, 50}, NdisError::None, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ElementWalker walker(row.list);
        Bytes ids;
        std::size_t consumed = 0;
        while (auto element = walker.Next()) {
            ids.push_back(element->id);
            EXPECT_EQ(element->offset, consumed);
            EXPECT_EQ(element->whole.size(), element->body.size() + 2);
            EXPECT_EQ(element->whole[1], element->body.size());
            consumed += element->whole.size();
        }
        EXPECT_EQ(ids, row.ids);
        EXPECT_EQ(walker.Error(), row.error);
        if (row.error != NdisError::None) {
            EXPECT_EQ(walker.ErrorOffset(), row.errorOffset);
        }
        EXPECT_FALSE(walker.Next());  // stays ended
    }
}

TEST(ElementWalkerTest, FindsByIdAndVendorSelectorUpToABadElement) {
    const Bytes wpa = Hex("dd160050f20101000050f20201000050f20201000050f202");
    const Bytes rsn = Hex("30140100000fac040100000fac040100000fac020000");
    // An SSID, another vendor's element, then WPA and RSN.
    Bytes list = Hex("000178 dd0400101802");
    list.insert(list.end(), wpa.begin(), wpa.end());
    list.insert(list.end(), rsn.begin(), rsn.end());
    const auto found = FindVendorElement(list, kWpaOui, kWpaVendorType);
    ASSERT_TRUE(found);
    EXPECT_EQ(Bytes(found->whole.begin(), found->whole.end()), wpa);
    EXPECT_EQ(found->offset, 9u);
    const auto rsnFound = FindElement(list, kElementRsn);
    ASSERT_TRUE(rsnFound);
    EXPECT_EQ(Bytes(rsnFound->whole.begin(), rsnFound->whole.end()), rsn);
    EXPECT_FALSE(FindElement(list, kElementDsParameterSet));
    // Behind an element that claims more than is left, nothing is found.
    EXPECT_FALSE(FindElement(Hex("002861 30020100"), kElementRsn));
    EXPECT_FALSE(FindVendorElement(Hex("dd030050f2"), kWpaOui, kWpaVendorType));
}

}  // namespace
}  // namespace tarvik::ndis
