// The constructors of the decoders beyond stored, deflate, bzip2 and LZMA, one per method, for
// the factory makeDecoder to call: each takes the entry's parameters and its compressed bytes.
#pragma once

#include "archive/decoders/deflate64.h"
#include "archive/decoders/implode.h"
#include "archive/decoders/ppmd8.h"
#include "archive/decoders/reduce.h"
#include "archive/decoders/shrink.h"
#include "archive/decoders/wavpack.h"
