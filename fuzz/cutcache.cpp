// libFuzzer target: the cut cache's reader. The bytes are read as a whole cut file, and also
// as the part of one after the header for a fixed key, sealed with the right checksum so that
// the reading of the result itself is reached. A list read must hold what a writer could have
// written, and writing it again must give the same bytes.
#include <cmath>
#include <cstring>
#include <string>

#include "fuzz/check.h"
#include "shots/cutcache.h"

namespace {

using namespace tirelle;

const waveform::CacheKey kKey{"/films/a.mp4", 12345, 678};

void Check(const std::string& bytes) {
    const std::optional<shots::StoredCuts> cuts = shots::DecodeCutFile(bytes, kKey);
    if (!cuts) return;
    FUZZ_CHECK(shots::WorthKeeping(cuts->status));
    FUZZ_CHECK(cuts->cuts.frameRate > 0 && std::isfinite(cuts->cuts.frameRate));
    for (std::size_t i = 0; i < cuts->cuts.times.size(); ++i) {
        FUZZ_CHECK(std::isfinite(cuts->cuts.times[i]) && cuts->cuts.times[i] >= 0);
        FUZZ_CHECK(i == 0 || cuts->cuts.times[i] > cuts->cuts.times[i - 1]);
    }
    FUZZ_CHECK(shots::EncodeCutFile(kKey, *cuts) == bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    Check(input);
    // A header for kKey, the input after it, and the checksum over both: the writer's own
    // header with its result left out.
    std::string sealed = shots::EncodeCutFile(kKey, {shots::DetectStatus::Complete, "", {{}, 25}});
    sealed.resize(sealed.size() - (1 + 4 + 8 + 8 + 8));  // status, message, rate, count, sum
    sealed += input;
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char byte : sealed)
        hash = (hash ^ static_cast<unsigned char>(byte)) * 0x100000001b3ULL;
    for (int i = 0; i < 8; ++i) sealed.push_back(static_cast<char>(hash >> (8 * i)));
    Check(sealed);
    return 0;
}
