#pragma once
// VOCOMET_VECTOR_CLONES before a hot loop's function: where the processor
// has wider vector units, the compiler makes copies of it for them and the
// loader picks one at start. Floating-point contraction stays off for the
// signal-processing sources, so every copy gives the same results bit for
// bit: the same operations in the same order, only more lanes at a time.
// Not under ThreadSanitizer: the loader runs the copy-picking resolver
// before the sanitizer's runtime is up, and its instrumented entry crashes.

#if defined(__SANITIZE_THREAD__)
#define VOCOMET_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VOCOMET_THREAD_SANITIZER 1
#endif
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(VOCOMET_THREAD_SANITIZER)
#define VOCOMET_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define VOCOMET_VECTOR_CLONES
#endif
