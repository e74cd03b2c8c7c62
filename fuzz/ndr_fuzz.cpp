// Decodes arbitrary stub data with the readers every interface uses; the
// first byte picks the sequence of types.
#include <cstddef>
#include <cstdint>

#include "rpc/ndr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  rpc::NdrLimits limits;
  limits.max_string = 1 << 20;
  rpc::NdrReader r(data + 1, size - 1, limits);
  uint8_t program = data[0];
  try {
    for (int step = 0; step < 16; ++step) {
      switch ((program >> (step % 4 * 2)) & 3) {
        case 0: r.String(); break;
        case 1: r.Long(); break;
        case 2: r.ConformantVaryingBytes(8192); break;
        case 3: {
          r.Small();
          r.FixedChars(13);
          uint32_t lo, hi;
          r.FileTime(&lo, &hi);
          break;
        }
      }
    }
    r.ExpectEnd();
  } catch (const rpc::NdrError&) {
  }
  return 0;
}
