// libFuzzer target: any byte string is a stored xml value. The converter
// must not read out of bounds, loop or recurse without end, and whatever it
// returns (the document, or nothing for a malformed value) is well-formed UTF-8.
#include <cstddef>
#include <cstdint>

#include "harness/fuzz_invariants.h"
#include "records/binary_xml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pagewright::fuzz::Violations violations;
  violations.CheckUtf8(pagewright::ConvertBinaryXml(pagewright::ByteSpan(data, size)), "converted xml");
  pagewright::fuzz::AbortOnViolations(violations, "binary_xml_fuzz");
  return 0;
}
