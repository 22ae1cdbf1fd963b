// Fuzzes the reading of received datagrams, which any host on the network can send us: whatever the bytes, with or
// without an IP header first, a message that is read lies wholly inside the datagram and carries the fields at
// their places, and nothing is read past the datagram's end (the input sits in a buffer of exactly its size).
#include "probes/EchoRequest.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::unique_ptr<std::uint8_t[]> datagram(new std::uint8_t[size == 0 ? 1 : size]);
    if (size != 0)
        std::memcpy(datagram.get(), data, size);
    const std::uint8_t* const begin = datagram.get();
    for (bool withIpHeader : {true, false}) {
        const auto message = lanwick::ParseIcmp(begin, size, withIpHeader);
        if (!message)
            continue;
        Check(message->data >= begin && message->size >= 8);
        Check(static_cast<std::size_t>(message->data - begin) + message->size <= size);
        Check(message->type == message->data[0]);
        Check(message->identifier == lanwick::ReadLe16(message->data + 4));
        Check(message->sequence == lanwick::ReadLe16(message->data + 6));
        if (!withIpHeader)
            Check(message->data == begin && message->size == size);
    }
    return 0;
}
