// A complete chain (root, base, common record, detail record) of handle types
// chosen by the test, with a Write that answers the 512 bytes.
#pragma once

#include "hwinfo/handles_common.h"
#include "tests/hwinfo/expected_image.h"

namespace hwinfo_test {

template <class Common, class Detail>
struct FullChain {
  IHwInfoRoot root;
  IHwInfoBase base{root};
  Common common{base};
  Detail detail{common};

  Image Write() {
    Image out;
    detail.Write(out.data());
    return out;
  }
};

}  // namespace hwinfo_test
