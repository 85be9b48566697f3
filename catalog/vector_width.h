// The widest vector instructions the byte scans of the catalog use (the map of
// zero bytes of the record reader, the probe search of the masks): what the
// processor has, found once at run time, or less when limited, so that tests
// run the narrower code on any machine.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
// Code for wider vectors is compiled per function (target attributes) and chosen
// by vector_width(), so the program runs on processors without them.
#define SHELVO_X86_VECTORS 1
#endif

namespace shelvo {

enum class VectorWidth { none, sse2, avx2, avx512 };
VectorWidth vector_width();
void limit_vector_width(VectorWidth widest);

} // namespace shelvo
