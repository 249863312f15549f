#pragma once
// FpuGuard: masks every floating-point exception for the span of a call into a plug-in and puts
// the caller's control words back afterwards. Plug-ins are built by others and some unmask
// exceptions or change rounding; our own code (and the audio thread's flush-to-zero) must not
// inherit that.

#include <cfenv>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

class FpuGuard {
public:
    FpuGuard() {
#if defined(__x86_64__) || defined(__i386__)
        m_mxcsr = _mm_getcsr();
        __asm__ __volatile__("fnstcw %0" : "=m"(m_x87));
        // All six exceptions masked in both units; x87 at extended precision.
        _mm_setcsr(m_mxcsr | 0x1F80u);
        uint16_t cw = static_cast<uint16_t>(m_x87 | 0x003Fu | 0x0300u);
        __asm__ __volatile__("fldcw %0" : : "m"(cw));
#else
        fegetenv(&m_env);
        fesetenv(FE_DFL_ENV);
#endif
    }
    ~FpuGuard() {
#if defined(__x86_64__) || defined(__i386__)
        // Flags the plug-in raised are dropped with its control settings.
        _mm_setcsr(m_mxcsr & ~0x3Fu);
        __asm__ __volatile__("fnclex");
        __asm__ __volatile__("fldcw %0" : : "m"(m_x87));
#else
        fesetenv(&m_env);
#endif
    }
    FpuGuard(const FpuGuard&) = delete;
    FpuGuard& operator=(const FpuGuard&) = delete;

private:
#if defined(__x86_64__) || defined(__i386__)
    unsigned m_mxcsr = 0;
    uint16_t m_x87 = 0;
#else
    fenv_t m_env;
#endif
};
