// libFuzzer entry for the configuration reader: the input is one to four configuration
// files separated by NUL bytes (main, extra, compared strategies). Ending the program
// on a configuration error is the reader's design; the harness sees it as FatalExit.
#include "fuzz_inputs.h"

#ifndef NK_SOURCE_DIR
#error "NK_SOURCE_DIR must name the source tree (genome files for configurations to load)"
#endif

namespace {
// Static, so that its files go when the fuzzer exits normally.
nkfuzz::Workspace& workspace() {
    static nkfuzz::Workspace ws;
    return ws;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nkfuzz::addStandardGenomes(workspace(), NK_SOURCE_DIR);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nkfuzz::runConfigInput(workspace(), data, size);
    return 0;
}
