// The bytes of our echo requests, the Internet checksum and the reading of received datagrams.
#include "probes/EchoRequest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace lanwick;

using Bytes = std::vector<std::uint8_t>;

TEST(InternetChecksum, SumsNetworkWordsPaddingAnOddByteFoldingCarriesTwiceAndComplements) {
    const std::pair<Bytes, Bytes> cases[] = {
        {{0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7}, {0x22, 0x0D}}, // the worked example of RFC 1071
        {{0x01, 0x02, 0x03}, {0xFB, 0xFD}},                               // 0x0102 + 0x0300, complemented
        {{0xFF}, {0x00, 0xFF}},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00}, {0xFE, 0xFF}}, // 0x1FFFF: only a second fold gives 0x0001
    };
    for (const auto& [data, expected] : cases) {
        const std::uint16_t sum = InternetChecksum(data.data(), data.size());
        EXPECT_EQ(Bytes(reinterpret_cast<const std::uint8_t*>(&sum), reinterpret_cast<const std::uint8_t*>(&sum) + 2),
                  expected);
    }
}

TEST(MonitorRequest, Holds56BytesWithLittleEndianFieldsTheSendStampAndFill) {
    const MonitorRequest r = BuildMonitorRequest(0x1234, 0x0102, 1.5);
    Bytes expected{8, 0, r[2], r[3], 0x34, 0x12, 0x02, 0x01, 0, 0, 0, 0, 0, 0, 0, 0};
    const Bytes stamp{0, 0, 0, 0, 0, 0, 0xF8, 0x3F}; // 1.5 is 0x3FF8000000000000
    expected.insert(expected.end(), stamp.begin(), stamp.end());
    for (int i = 24; i < 56; ++i)
        expected.push_back(static_cast<std::uint8_t>(0x20 + (i - 24))); // ' ' to '?'
    EXPECT_EQ(Bytes(r.begin(), r.end()), expected);
    EXPECT_EQ(InternetChecksum(r.data(), r.size()), 0) << "a packet with its checksum sums to zero";
}

TEST(ScanRequest, HoldsHeaderStampAndFillOfEAndChecksumsToZeroAtAnyLength) {
    for (const std::size_t payload : {32u, 3u}) {
        Bytes buffer(kScanBufferSize, 0xAA);
        const std::size_t size = BuildScanRequest(buffer.data(), 0xABCD, 2, 0x01020304, payload);
        ASSERT_EQ(size, 12 + payload);
        Bytes expected{8, 0, buffer[2], buffer[3], 0xCD, 0xAB, 0x02, 0x00, 0x04, 0x03, 0x02, 0x01};
        expected.resize(size, 'E');
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size)), expected);
        EXPECT_EQ(InternetChecksum(buffer.data(), size), 0);
    }
}

TEST(ParseIcmp, SkipsARawSocketsIpHeaderByItsLengthFieldAndRefusesShortMessages) {
    Bytes raw(24 + 8, 0);
    raw[0] = 0x46; // header of 6 words: 4 bytes of options
    raw[28] = 0x11;
    raw[29] = 0x22;
    raw[30] = 0x05;
    const auto m = ParseIcmp(raw.data(), raw.size(), true);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->type, 0);
    EXPECT_EQ(m->identifier, 0x2211);
    EXPECT_EQ(m->sequence, 5);
    EXPECT_EQ(m->size, 8u);

    const Bytes plain{0, 0, 0, 0, 1, 0, 2, 0}; // a datagram socket's message, as it is
    const auto p = ParseIcmp(plain.data(), plain.size(), false);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->identifier, 1);
    EXPECT_EQ(p->sequence, 2);
    EXPECT_FALSE(ParseIcmp(plain.data(), 7, false));
    raw.assign(27, 0);
    raw[0] = 0x45;
    EXPECT_FALSE(ParseIcmp(raw.data(), raw.size(), true));
    raw[0] = 0x44; // a header length below 20 bytes is no IPv4 header
    EXPECT_FALSE(ParseIcmp(raw.data(), raw.size(), true));
}
