#pragma once
// VELDRA_CLONES before a function gives it a second version for AVX2 with fused multiply-add,
// chosen at load time where the processor has them (x86-64 with GCC). ThreadSanitizer cannot run
// the load-time resolver the clones need (it runs before the sanitizer has started), so that
// build keeps the single portable version. Functions the clone calls must be inlined into it to
// share its instruction set.
//
// VELDRA_VERSIONS is 1 where a function may instead be written twice by hand, once with
// __attribute__((target("default"))) and once for a named instruction set, the loader choosing
// between them the same way.
//
// Defining VELDRA_PORTABLE_ONLY keeps the portable versions alone, so tests can reach them on a
// processor that would choose the others.

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) &&                             \
    !defined(__SANITIZE_THREAD__) && !defined(VELDRA_PORTABLE_ONLY)
#define VELDRA_CLONES __attribute__((target_clones("arch=haswell", "default")))
#define VELDRA_VERSIONS 1
#else
#define VELDRA_CLONES
#define VELDRA_VERSIONS 0
#endif
