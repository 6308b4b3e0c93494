// One libFuzzer target: QUILLET_FUZZ_TARGET names its body in targets.cpp.
#include "fuzz/targets.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const quillet::fuzz::Target target = [] {
        const quillet::fuzz::Target named = quillet::fuzz::targetNamed(QUILLET_FUZZ_TARGET);
        if (named == nullptr) {
            std::fprintf(stderr, "no fuzz target named %s\n", QUILLET_FUZZ_TARGET);
            std::abort();
        }
        return named;
    }();
    return target(data, size);
}
