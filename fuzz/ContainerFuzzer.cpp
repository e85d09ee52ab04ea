// The container reader on any bytes at all. Besides what the sanitizers watch (no read out of
// bounds, no leak, no undefined behaviour), whatever the reader accepts and the writer can hold
// must survive a round trip: written, read back and written again, it gives the same bytes.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "container/ContainerFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CVendra root;
    if (FAILED(ReadContainer({data, size}, root))) {
        return 0;
    }
    std::vector<std::uint8_t> written;
    if (FAILED(WriteContainer(root, &written))) {
        return 0;
    }
    CVendra again;
    std::vector<std::uint8_t> rewritten;
    if (FAILED(ReadContainer(written, again)) || FAILED(WriteContainer(again, &rewritten)) ||
        rewritten != written) {
        std::abort();
    }
    return 0;
}
