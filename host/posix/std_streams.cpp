#include "host/platform/std_streams.h"

namespace host {

void useBinaryStandardStreams() {}

}  // namespace host
