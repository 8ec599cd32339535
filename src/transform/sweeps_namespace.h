// The namespace of the sweeps' shared headers (vectors.h, twiddle.h,
// fft_passes.h, spectrum_passes.h), whose functions every unit that includes
// them compiles for its own instructions. They open it with SWEEPS_BEGIN and
// close it with SWEEPS_END, after their own includes: an unnamed namespace
// inside FFTEXT_SWEEPS_NAMESPACE, which the AVX unit defines as
// "namespace avx_code" before its first include; elsewhere an inline
// namespace, so that its names read as if at file scope.
#pragma once

#ifndef FFTEXT_SWEEPS_NAMESPACE
#define FFTEXT_SWEEPS_NAMESPACE inline namespace sse2_code
#endif
#define SWEEPS_BEGIN FFTEXT_SWEEPS_NAMESPACE { namespace {
#define SWEEPS_END } }
