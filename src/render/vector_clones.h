#pragma once
// Pixel loops that the compiler vectorises get a second copy built for AVX2
// on x86-64; the loader picks the copy the processor can run, so the program
// still runs on any x86-64. AVX2 alone, without FMA: a fused multiply-add
// would round differently, and every processor must give the same pixels.
// GCC only (clang's clones of functions declared elsewhere do not link), and
// not in sanitizer builds, whose runtimes start after the loader has run the
// resolvers that pick the copy.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VECTOR_CLONES
#endif
