// libFuzzer entry for the genome population reader: the first byte picks plain XML, gzip
// compressed XML or raw bytes under a ".gz" name; load errors (std::string) are expected.
#include "fuzz_inputs.h"

namespace {
// Static, so that its files go when the fuzzer exits normally.
nkfuzz::Workspace& workspace() {
    static nkfuzz::Workspace ws;
    return ws;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nkfuzz::runGenomeInput(workspace(), data, size);
    return 0;
}
