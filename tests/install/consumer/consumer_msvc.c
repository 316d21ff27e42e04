/* The consumer as Microsoft's toolchain builds it: compiled for Microsoft's
 * ABI (clang --target=x86_64-pc-windows-msvc) and linked by lld-link, which
 * takes link.exe's options, against ZOR_x64.lib alone. No C runtime here,
 * so this is the entry point and its result the exit status: 0 when the
 * start frequency reads back, 1 to 3 for the step that failed. */
#include <ZOR.h>

/* Microsoft's ABI: any object using floating point refers to it; the C
 * runtime would define it. */
int _fltused = 0;

int consumer_entry(void) {
    ViSession vi = VI_NULL;
    ViReal64 start = 0;
    ViStatus status;
    if (ZOR_InitWithOptions("SIM::msvc::INSTR", VI_TRUE, VI_TRUE, "", &vi) < 0) return 1;
    status = ZOR_SetAttributeViReal64(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, 2.5e9);
    if (status >= 0) status = ZOR_GetAttributeViReal64(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, &start);
    ZOR_close(vi);
    if (status < 0) return 2;
    return start == 2.5e9 ? 0 : 3;
}
