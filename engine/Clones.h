#pragma once
// VELDRA_CLONES before a function gives it a second version for AVX2 with fused multiply-add,
// chosen at load time where the processor has them (x86-64 with GCC). ThreadSanitizer cannot run
// the load-time resolver the clones need (it runs before the sanitizer has started), so that
// build keeps the single portable version. Functions the clone calls must be inlined into it to
// share its instruction set.

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define VELDRA_CLONES __attribute__((target_clones("arch=haswell", "default")))
#else
#define VELDRA_CLONES
#endif
