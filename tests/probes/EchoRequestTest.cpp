// The bytes of our echo requests, the Internet checksum and the reading of received datagrams.
#include "probes/EchoRequest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace lanwick;

namespace {
std::vector<std::uint8_t> ChecksumBytes(const std::vector<std::uint8_t>& data) {
    const std::uint16_t sum = InternetChecksum(data.data(), data.size());
    std::vector<std::uint8_t> bytes(2);
    std::memcpy(bytes.data(), &sum, 2);
    return bytes;
}
} // namespace

TEST(InternetChecksum, MatchesTheWorkedExampleOfRfc1071) {
    EXPECT_EQ(ChecksumBytes({0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7}), (std::vector<std::uint8_t>{0x22, 0x0D}));
}

TEST(InternetChecksum, OddLengthAddsTheLastByteWithAZeroHighByte) {
    // Words 0x0102 and 0x0300 in network terms: sum 0x0402, complement 0xFBFD.
    EXPECT_EQ(ChecksumBytes({0x01, 0x02, 0x03}), (std::vector<std::uint8_t>{0xFB, 0xFD}));
    EXPECT_EQ(ChecksumBytes({0xFF}), (std::vector<std::uint8_t>{0x00, 0xFF}));
}

TEST(InternetChecksum, FoldsCarriesTwice) {
    // 0xFFFF + 0xFFFF + 0x0001 = 0x1FFFF; one fold gives 0x10000, only the second gives 0x0001.
    EXPECT_EQ(ChecksumBytes({0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00}), (std::vector<std::uint8_t>{0xFE, 0xFF}));
}

TEST(MonitorRequest, Holds56BytesWithLittleEndianFieldsAndFill) {
    const MonitorRequest r = BuildMonitorRequest(0x1234, 0x0102, 0.0);
    ASSERT_EQ(r.size(), 56u);
    EXPECT_EQ(r[0], 8);
    EXPECT_EQ(r[1], 0);
    EXPECT_EQ(r[4], 0x34);
    EXPECT_EQ(r[5], 0x12);
    EXPECT_EQ(r[6], 0x02);
    EXPECT_EQ(r[7], 0x01);
    for (int i = 8; i < 24; ++i)
        EXPECT_EQ(r[i], 0) << i;
    for (int i = 24; i < 56; ++i)
        EXPECT_EQ(r[i], 0x20 + (i - 24)) << i;
    EXPECT_EQ(r[55], '?');
    EXPECT_EQ(InternetChecksum(r.data(), r.size()), 0) << "a packet with its checksum sums to zero";
}

TEST(MonitorRequest, CarriesTheSendStampAsALittleEndianDouble) {
    const MonitorRequest r = BuildMonitorRequest(1, 1, 1.5);
    // 1.5 is 0x3FF8000000000000.
    const std::uint8_t expected[8] = {0, 0, 0, 0, 0, 0, 0xF8, 0x3F};
    EXPECT_EQ(std::memcmp(&r[16], expected, 8), 0);
    EXPECT_EQ(InternetChecksum(r.data(), r.size()), 0);
}

TEST(ScanRequest, HoldsHeaderStampAndFillOfE) {
    std::vector<std::uint8_t> buffer(kScanBufferSize, 0xAA);
    const std::size_t size = BuildScanRequest(buffer.data(), 0xABCD, 2, 0x01020304, 32);
    ASSERT_EQ(size, 44u);
    const std::vector<std::uint8_t> head(buffer.begin(), buffer.begin() + 12);
    EXPECT_EQ(head[0], 8);
    EXPECT_EQ(head[1], 0);
    EXPECT_EQ((std::vector<std::uint8_t>(head.begin() + 4, head.end())),
              (std::vector<std::uint8_t>{0xCD, 0xAB, 0x02, 0x00, 0x04, 0x03, 0x02, 0x01}));
    for (std::size_t i = 12; i < 44; ++i)
        EXPECT_EQ(buffer[i], 'E') << i;
    EXPECT_EQ(InternetChecksum(buffer.data(), size), 0);
}

TEST(ScanRequest, OddPayloadStillChecksumsToZero) {
    std::vector<std::uint8_t> buffer(kScanBufferSize);
    const std::size_t size = BuildScanRequest(buffer.data(), 7, 0, 99, 3);
    ASSERT_EQ(size, 15u);
    EXPECT_EQ(InternetChecksum(buffer.data(), size), 0);
}

TEST(ParseIcmp, SkipsTheIpHeaderByItsLengthField) {
    std::vector<std::uint8_t> d(24 + 8, 0);
    d[0] = 0x46; // header of 6 words: 4 bytes of options
    d[24] = 0;
    d[28] = 0x11;
    d[29] = 0x22;
    d[30] = 0x05;
    const auto m = ParseIcmp(d.data(), d.size(), true);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->type, 0);
    EXPECT_EQ(m->identifier, 0x2211);
    EXPECT_EQ(m->sequence, 5);
    EXPECT_EQ(m->size, 8u);
}

TEST(ParseIcmp, TakesADatagramSocketsMessageAsIsAndRefusesShortOnes) {
    std::vector<std::uint8_t> d{0, 0, 0, 0, 1, 0, 2, 0};
    const auto m = ParseIcmp(d.data(), d.size(), false);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->identifier, 1);
    EXPECT_EQ(m->sequence, 2);
    EXPECT_FALSE(ParseIcmp(d.data(), 7, false));
    std::vector<std::uint8_t> raw(27, 0);
    raw[0] = 0x45;
    EXPECT_FALSE(ParseIcmp(raw.data(), raw.size(), true));
    raw[0] = 0x44; // a header length below 20 bytes is no IPv4 header
    EXPECT_FALSE(ParseIcmp(raw.data(), raw.size(), true));
}
