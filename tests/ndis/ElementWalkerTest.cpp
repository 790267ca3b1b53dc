#include "ndis/ElementWalker.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "ndis/Elements.h"

namespace tarvik::ndis {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct WalkRow {
    const char* name;
    Bytes list;
    std::vector<std::uint8_t> ids;  // ids delivered, in order
    NdisError error;
    std::size_t errorOffset;
};

// Rows print as their names in test listings.
void PrintTo(const WalkRow& row, std::ostream* os) {
    *os << row.name;
}

class ElementWalkTest : public testing::TestWithParam<WalkRow> {};

TEST_P(ElementWalkTest, DeliversWhatFitsAndStopsAtTheFirstBadElement) {
    const WalkRow& row = GetParam();
    ElementWalker walker(row.list);
    std::vector<std::uint8_t> ids;
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

INSTANTIATE_TEST_SUITE_P(
    Rows, ElementWalkTest,
    testing::Values(
        WalkRow{"Empty", {}, {}, NdisError::None, 0},
        WalkRow{
            "ThreeElements", {0, 2, 'a', 'b', 3, 1, 6, 221, 0}, {0, 3, 221}, NdisError::None, 0},
        WalkRow{"LoneIdByte", {0, 1, 'a', 48}, {0}, NdisError::ElementHeaderTruncated, 3},
        WalkRow{
            "BodyOneBytePastEnd", {0, 1, 'a', 48, 3, 1, 0}, {0}, NdisError::ElementBodyPastEnd, 3},
        WalkRow{"FirstElementMaxLength", {221, 255, 1, 2, 3}, {}, NdisError::ElementBodyPastEnd, 0},
        WalkRow{"ZeroLengthAtEnd", {3, 1, 6, 50, 0}, {3, 50}, NdisError::None, 0}),
    [](const testing::TestParamInfo<WalkRow>& info) { return info.param.name; });

TEST(ElementWalkerTest, FindsElementsByIdAndVendorSelector) {
    Bytes list = *BuildSsidElement("x");
    const Bytes other = {221, 4, 0x00, 0x10, 0x18, 0x02};  // another vendor's element
    const Bytes wpa =
        *BuildWpaElement({CipherSuite::Tkip, {CipherSuite::Tkip}, {AkmSuite::Psk}, {}});
    const Bytes rsn =
        *BuildRsnElement({CipherSuite::Ccmp, {CipherSuite::Ccmp}, {AkmSuite::Psk}, 0});
    list.insert(list.end(), other.begin(), other.end());
    list.insert(list.end(), wpa.begin(), wpa.end());
    list.insert(list.end(), rsn.begin(), rsn.end());

    const auto found = FindVendorElement(list, kWpaOui, kWpaVendorType);
    ASSERT_TRUE(found);
    EXPECT_EQ(Bytes(found->whole.begin(), found->whole.end()), wpa);
    EXPECT_EQ(found->offset, 3u + other.size());
    const auto rsnFound = FindElement(list, kElementRsn);
    ASSERT_TRUE(rsnFound);
    EXPECT_EQ(Bytes(rsnFound->whole.begin(), rsnFound->whole.end()), rsn);
    EXPECT_FALSE(FindElement(list, kElementDsParameterSet));
}

TEST(ElementWalkerTest, SearchStopsAtATruncatedElement) {
    // The RSN element lies behind an element that claims more than is left.
    const Bytes list = {0, 40, 'a', 48, 2, 1, 0};
    EXPECT_FALSE(FindElement(list, kElementRsn));
    const Bytes shortVendor = {221, 3, 0x00, 0x50, 0xF2};
    EXPECT_FALSE(FindVendorElement(shortVendor, kWpaOui, kWpaVendorType));
}

}  // namespace
}  // namespace tarvik::ndis
