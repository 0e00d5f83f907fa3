#pragma once

// How both fuzzers cut their input: the first byte says how many of the next
// ones are read sizes (each mapped by `size`), the rest is the stream, fed in
// reads of those sizes in turn.

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

struct ReadPlan {
    std::vector<int> sizes;
    QByteArray stream;
};

template <typename Size>
ReadPlan readPlan(const std::uint8_t *data, std::size_t size, Size sizeOf)
{
    ReadPlan p;
    const std::size_t planSize = std::min<std::size_t>(data[0] % 16, size - 1);
    for (std::size_t i = 1; i <= planSize; ++i)
        p.sizes.push_back(sizeOf(data[i]));
    p.stream = QByteArray(reinterpret_cast<const char *>(data + 1 + planSize), int(size - 1 - planSize));
    // Empty reads only: do them, then the rest at once.
    if (std::none_of(p.sizes.begin(), p.sizes.end(), [](int n) { return n > 0; }))
        p.sizes.push_back(p.stream.size());
    return p;
}
