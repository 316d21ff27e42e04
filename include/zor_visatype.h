/* Fixed-width VISA and IVI types used by the ZOR_x64 driver interface.
 *
 * The widths are those of a 64-bit VISA: ViInt32 and ViSession are 32 bits
 * and ViBoolean 16 bits on every platform ("long" is not used because it is
 * 64 bits wide on Linux). When a vendor visatype.h was included first, its
 * definitions are used instead. */
#ifndef ZOR_VISATYPE_H
#define ZOR_VISATYPE_H

#include <stddef.h>
#include <stdint.h>

#if !defined(__VISATYPE_HEADER__)
typedef uint64_t ViUInt64;
typedef int64_t ViInt64;
typedef uint32_t ViUInt32;
typedef int32_t ViInt32;
typedef uint16_t ViUInt16;
typedef int16_t ViInt16;
typedef uint8_t ViUInt8;
typedef int8_t ViInt8;
typedef char ViChar;
typedef unsigned char ViByte;
typedef void* ViAddr;
typedef float ViReal32;
typedef double ViReal64;
typedef ViUInt16 ViBoolean;
typedef ViInt32 ViStatus;
typedef ViUInt32 ViObject;
typedef ViUInt32 ViSession;
typedef ViUInt32 ViAttr;
typedef ViUInt64 ViAttrState;
typedef ViUInt32 ViAccessMode;
typedef ViChar* ViString;
typedef const ViChar* ViConstString;
typedef ViString ViRsrc;
typedef ViConstString ViConstRsrc;
typedef ViByte* ViBuf;
typedef const ViByte* ViConstBuf;
typedef ViUInt32* ViPUInt32;
typedef ViInt32* ViPInt32;
typedef ViInt16* ViPInt16;
typedef ViUInt16* ViPUInt16;
typedef ViReal64* ViPReal64;
typedef ViBoolean* ViPBoolean;
typedef ViSession* ViPSession;
typedef ViStatus* ViPStatus;
typedef ViString ViPString;
typedef ViObject ViFindList;
typedef ViFindList* ViPFindList;
typedef ViUInt64 ViBusSize;
typedef ViBusSize* ViPBusSize;

#define VI_NULL 0
#define VI_TRUE ((ViBoolean)1)
#define VI_FALSE ((ViBoolean)0)
#define VI_SUCCESS ((ViStatus)0)
#endif /* __VISATYPE_HEADER__ */

#if defined(_WIN32)
#define ZOR_CALL __cdecl
#else
#define ZOR_CALL
#endif

#endif /* ZOR_VISATYPE_H */
