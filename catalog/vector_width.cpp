#include "catalog/vector_width.h"

#include <algorithm>

namespace shelvo {

namespace {

VectorWidth processor_vector_width() {
#if defined(SHELVO_X86_VECTORS)
  if (__builtin_cpu_supports("avx512bw")) return VectorWidth::avx512;
  if (__builtin_cpu_supports("avx2")) return VectorWidth::avx2;
#endif
#if defined(__SSE2__)
  return VectorWidth::sse2;
#else
  return VectorWidth::none;
#endif
}

VectorWidth widest_allowed = VectorWidth::avx512;

} // namespace

VectorWidth vector_width() {
  static const VectorWidth processor = processor_vector_width();
  return std::min(processor, widest_allowed);
}

void limit_vector_width(VectorWidth widest) { widest_allowed = widest; }

} // namespace shelvo
