#pragma once
// Marks a plain loop function to be compiled once per x86-64 vector level (AVX-512, AVX2 and the
// SSE2 baseline), the widest one the processor has being picked when the program loads. The
// picture loops that use it run two to three times faster on AVX2 than on SSE2, and the program
// still runs on any x86-64 processor. Only plain functions can carry it: clang refuses it on
// templates. Other compilers and processors get the one ordinary build, and so does the thread
// sanitizer's: the loader picks a version before that sanitizer's runtime is up, and the picking
// code, instrumented, would crash.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QOR_THREAD_SANITIZER
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define QOR_THREAD_SANITIZER
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) &&                            \
    !defined(QOR_THREAD_SANITIZER)
#define QOR_VECTOR_CLONES                                                                          \
    __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define QOR_VECTOR_CLONES
#endif
