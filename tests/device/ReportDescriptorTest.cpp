// Report lengths from real-world-shaped and from broken report descriptors.
#include "device/ReportDescriptor.h"
#include "device/SimulatedAdapter.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Parsed {
    bool bOk;
    uint16_t nInput, nOutput, nFeature;
    bool bNumbered;
};

Parsed Parse(const std::vector<uint8_t>& descriptor)
{
    ReportDescriptorSummary summary;
    summary.lengths = {111, 222, 333};
    const bool bOk = ParseReportDescriptor(descriptor.data(), descriptor.size(), summary);
    return {bOk, summary.lengths.nInput, summary.lengths.nOutput, summary.lengths.nFeature, summary.bNumbered};
}

void ExpectRefused(const std::vector<uint8_t>& descriptor)
{
    const Parsed parsed = Parse(descriptor);
    EXPECT_FALSE(parsed.bOk);
    // A refused descriptor leaves the caller's values alone.
    EXPECT_EQ(parsed.nInput, 111);
    EXPECT_EQ(parsed.nOutput, 222);
    EXPECT_EQ(parsed.nFeature, 333);
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(ReportDescriptorTest, TheAdapterComesOutAt65And9)
{
    const Parsed parsed = Parse(CSimulatedAdapter::ReportDescriptor());
    ASSERT_TRUE(parsed.bOk);
    EXPECT_EQ(parsed.nInput, 65);
    EXPECT_EQ(parsed.nOutput, 0);
    EXPECT_EQ(parsed.nFeature, 9);
    EXPECT_TRUE(parsed.bNumbered);
}

TEST(ReportDescriptorTest, UnnumberedDevicesStillCountTheIdByte)
{
    const std::vector<uint8_t> bootKeyboard = {
        0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
        0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01,
        0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06,
        0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};
    Parsed parsed = Parse(bootKeyboard);
    ASSERT_TRUE(parsed.bOk);
    EXPECT_EQ(parsed.nInput, 9);
    EXPECT_EQ(parsed.nOutput, 2);
    EXPECT_EQ(parsed.nFeature, 0);
    EXPECT_FALSE(parsed.bNumbered);

    const std::vector<uint8_t> bootMouse = {
        0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19, 0x01, 0x29, 0x03,
        0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02, 0x95, 0x01, 0x75, 0x05, 0x81, 0x01,
        0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06,
        0xC0, 0xC0};
    parsed = Parse(bootMouse);
    ASSERT_TRUE(parsed.bOk);
    EXPECT_EQ(parsed.nInput, 4);
    EXPECT_EQ(parsed.nOutput, 0);
    EXPECT_EQ(parsed.nFeature, 0);
    EXPECT_FALSE(parsed.bNumbered);
}

TEST(ReportDescriptorTest, EachTypeTakesItsLongestNumberedReport)
{
    const std::vector<uint8_t> composite = {
        0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01, 0x75, 0x08, 0x95, 0x08, 0x81, 0x00, 0xC0,
        0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0,
        0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0x75, 0x08, 0x95, 0x20, 0xB1, 0x02,
        0x85, 0x04, 0x95, 0x3F, 0x91, 0x02, 0xC0};
    const Parsed parsed = Parse(composite);
    ASSERT_TRUE(parsed.bOk);
    EXPECT_EQ(parsed.nInput, 9);
    EXPECT_EQ(parsed.nOutput, 64);
    EXPECT_EQ(parsed.nFeature, 33);
    EXPECT_TRUE(parsed.bNumbered);

    // Bits of one report add up over its items and round up to whole bytes.
    const Parsed bits = Parse({0x85, 0x07, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02, 0x95, 0x06, 0x81, 0x02});
    ASSERT_TRUE(bits.bOk);
    EXPECT_EQ(bits.nInput, 3);
    EXPECT_EQ(Parse({}).nInput, 0);
}

TEST(ReportDescriptorTest, PopRestoresSizeCountAndId)
{
    const Parsed sizes = Parse({0x75, 0x08, 0x95, 0x04, 0xA4, 0x75, 0x10, 0x95, 0x10, 0x81, 0x02, 0xB4, 0x81, 0x02});
    ASSERT_TRUE(sizes.bOk);
    EXPECT_EQ(sizes.nInput, 32 + 4 + 1);

    const Parsed ids = Parse({0x75, 0x08, 0x95, 0x02, 0x85, 0x01, 0xA4, 0x85, 0x02, 0x95, 0x10, 0xB1, 0x02,
                              0xB4, 0xB1, 0x02, 0xB1, 0x02, 0xB1, 0x02});
    ASSERT_TRUE(ids.bOk);
    EXPECT_EQ(ids.nFeature, 17);    // id 2: 16 bytes; id 1: 3 x 2 bytes

    EXPECT_TRUE(Parse({0xA4, 0xA4, 0xA4, 0xA4, 0xB4, 0xB4, 0xB4, 0xB4}).bOk);
}

TEST(ReportDescriptorTest, LongItemsAreSteppedOver)
{
    const Parsed parsed = Parse({0xFE, 0x03, 0x10, 0x75, 0x08, 0x81, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02});
    ASSERT_TRUE(parsed.bOk);
    EXPECT_EQ(parsed.nInput, 3);
}

TEST(ReportDescriptorTest, TruncatedItemsAreRefused)
{
    ExpectRefused({0x75});
    ExpectRefused({0x75, 0x08, 0x96, 0x01});
    ExpectRefused({0x27, 0xFF, 0xFF});
    ExpectRefused({0xFE});
    ExpectRefused({0xFE, 0x05});
    ExpectRefused({0xFE, 0x05, 0x10, 0xAA, 0xBB});
    ExpectRefused(CSimulatedAdapter::ReportDescriptor() + std::vector<uint8_t>{0x95});
}

TEST(ReportDescriptorTest, MalformedGlobalsAreRefused)
{
    ExpectRefused({0xA4, 0xA4, 0xA4, 0xA4, 0xA4});   // deeper than the kernel allows
    ExpectRefused({0xB4});
    ExpectRefused({0xA4, 0xB4, 0xB4});
    ExpectRefused({0x85, 0x00});
    ExpectRefused({0x86, 0x00, 0x01});
    ExpectRefused({0x96, 0x01, 0x30});               // 12289 fields
    ExpectRefused({0x76, 0x01, 0x01});               // 257-bit fields
}

TEST(ReportDescriptorTest, ReportsBeyond16BitLengthsAreRefused)
{
    const std::vector<uint8_t> bigItem = {0x81, 0x02};
    std::vector<uint8_t> descriptor = {0x75, 0x08, 0x96, 0x00, 0x30};  // 12288 bytes per item
    for (int i = 0; i < 5; ++i)
        descriptor = descriptor + bigItem;
    const Parsed fits = Parse(descriptor);
    ASSERT_TRUE(fits.bOk);
    EXPECT_EQ(fits.nInput, 5 * 12288 + 1);

    ExpectRefused(descriptor + bigItem);
    ExpectRefused({0x76, 0x00, 0x01, 0x96, 0x00, 0x30, 0x81, 0x02});
}
