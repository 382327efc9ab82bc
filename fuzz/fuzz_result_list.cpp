// Any text handed to the result-list parser: no crash, no leak, and a list that is not JSON never
// touches the map. The parser is compiled into this target, so the fuzzer sees its branches.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "result_parser.h"

using Osmer_Framework::Face::ParseOutcome;
using Osmer_Framework::Face::ParseResultList;
using Osmer_Framework::Face::ResultMap;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    ResultMap results{{"KEEP", {{"1", "x"}}}};
    const ParseOutcome outcome = ParseResultList(text, results, nullptr);
    if (outcome == ParseOutcome::Stopped ||
        (outcome == ParseOutcome::NotJson && results.size() != 1)) {
        std::abort();
    }
    return 0;
}
