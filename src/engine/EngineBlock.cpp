#include "engine/EngineBlock.h"

#include <pthread.h>
#include <sched.h>
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

void EnableFlushToZero() {
#if defined(__SSE__)
    // FTZ (bit 15) and DAZ (bit 6) of MXCSR.
    _mm_setcsr(_mm_getcsr() | 0x8040);
#endif
}

void SetThreadTimeCritical() {
    sched_param p{};
    p.sched_priority = sched_get_priority_min(SCHED_FIFO) + 10;
    // Refused without the right to real-time scheduling; the thread then keeps its priority.
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &p);
}

void SetThreadNormal() {
    sched_param p{};
    p.sched_priority = 0;
    pthread_setschedparam(pthread_self(), SCHED_OTHER, &p);
}
