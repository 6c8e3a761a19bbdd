#pragma once
/// @file
/// Our declarations of the VISA I/O interface (VPP-4.3) that Karvel uses: the
/// types, status codes, attributes and functions, written for the C ABI that
/// VISA libraries use on 64-bit Linux (sessions, find lists and attributes are
/// 32-bit unsigned, statuses 32-bit signed, attribute values of viSetAttribute
/// 64-bit unsigned), so that a vendor's library can be loaded in place of ours.
///
/// Only C types cross this boundary. Our bundled library is thread-safe for
/// handle bookkeeping; one session is used by one thread at a time.

#include <cstdint>

extern "C" {

typedef uint32_t ViUInt32;
typedef int32_t ViInt32;
typedef uint16_t ViUInt16;
typedef int16_t ViInt16;
typedef uint8_t ViUInt8;
typedef char ViChar;
typedef unsigned char ViByte;
typedef ViUInt16 ViBoolean;
typedef ViInt32 ViStatus;
typedef ViUInt32 ViObject;
typedef ViObject ViSession;
typedef ViObject ViFindList;
typedef ViUInt32 ViAttr;
typedef uint64_t ViAttrState;
typedef ViUInt32 ViAccessMode;
typedef ViUInt32 ViVersion;
typedef ViChar *ViString;
typedef const ViChar *ViConstString;
typedef ViChar *ViRsrc;
typedef const ViChar *ViConstRsrc;
typedef ViChar *ViBuf;
typedef ViByte *ViPBuf;
typedef const ViByte *ViConstBuf;
typedef ViUInt32 *ViPUInt32;
typedef ViSession *ViPSession;
typedef ViFindList *ViPFindList;
typedef void *ViAddr;

} // extern "C"

#define VI_NULL 0
#define VI_TRUE 1
#define VI_FALSE 0
#define VI_FIND_BUFLEN 256
#define VI_TMO_IMMEDIATE 0UL
#define VI_TMO_INFINITE 0xFFFFFFFFUL

// Completion and error codes.
constexpr ViStatus VI_SUCCESS = 0;
constexpr ViStatus VI_SUCCESS_TERM_CHAR = 0x3FFF0005;
constexpr ViStatus VI_SUCCESS_MAX_CNT = 0x3FFF0006;
constexpr ViStatus VI_ERROR_SYSTEM_ERROR = static_cast<ViStatus>(0xBFFF0000u);
constexpr ViStatus VI_ERROR_INV_OBJECT = static_cast<ViStatus>(0xBFFF000Eu);
constexpr ViStatus VI_ERROR_RSRC_NFOUND = static_cast<ViStatus>(0xBFFF0011u);
constexpr ViStatus VI_ERROR_INV_EXPR = static_cast<ViStatus>(0xBFFF0010u);
constexpr ViStatus VI_ERROR_TMO = static_cast<ViStatus>(0xBFFF0015u);
constexpr ViStatus VI_ERROR_NSUP_ATTR = static_cast<ViStatus>(0xBFFF001Du);
constexpr ViStatus VI_ERROR_NSUP_ATTR_STATE = static_cast<ViStatus>(0xBFFF001Eu);
constexpr ViStatus VI_ERROR_INV_FMT = static_cast<ViStatus>(0xBFFF002Cu);
constexpr ViStatus VI_ERROR_IO = static_cast<ViStatus>(0xBFFF003Eu);
constexpr ViStatus VI_ERROR_CONN_LOST = static_cast<ViStatus>(0xBFFF00A6u);
constexpr ViStatus VI_ERROR_LIBRARY_NFOUND = static_cast<ViStatus>(0xBFFF009Eu);
constexpr ViStatus VI_ERROR_USER_BUF = static_cast<ViStatus>(0xBFFF0071u);

// Attributes.
constexpr ViAttr VI_ATTR_RSRC_IMPL_VERSION = 0x3FFF0003u;
constexpr ViAttr VI_ATTR_TMO_VALUE = 0x3FFF001Au;
constexpr ViAttr VI_ATTR_IO_PROT = 0x3FFF001Cu;
constexpr ViAttr VI_ATTR_TERMCHAR = 0x3FFF0018u;
constexpr ViAttr VI_ATTR_TERMCHAR_EN = 0x3FFF0038u;
constexpr ViAttr VI_ATTR_ASRL_BAUD = 0x3FFF0021u;
constexpr ViAttr VI_ATTR_ASRL_DATA_BITS = 0x3FFF0022u;
constexpr ViAttr VI_ATTR_ASRL_PARITY = 0x3FFF0023u;
constexpr ViAttr VI_ATTR_ASRL_STOP_BITS = 0x3FFF0024u;
constexpr ViAttr VI_ATTR_ASRL_FLOW_CNTRL = 0x3FFF0025u;
constexpr ViAttr VI_ATTR_RD_BUF_OPER_MODE = 0x3FFF002Au;
constexpr ViAttr VI_ATTR_WR_BUF_OPER_MODE = 0x3FFF002Du;
constexpr ViAttr VI_ATTR_ASRL_END_IN = 0x3FFF00B3u;
constexpr ViAttr VI_ATTR_ASRL_END_OUT = 0x3FFF00B4u;
constexpr ViAttr VI_ATTR_RSRC_SPEC_VERSION = 0x3FFF0170u;
constexpr ViAttr VI_ATTR_INTF_TYPE = 0x3FFF0171u;
constexpr ViAttr VI_ATTR_INTF_INST_NAME = 0xBFFF00E9u;
constexpr ViAttr VI_ATTR_RSRC_MANF_NAME = 0xBFFF0174u;

// Attribute values.
constexpr ViUInt16 VI_ASRL_FLOW_NONE = 0;
constexpr ViUInt16 VI_ASRL_FLOW_RTS_CTS = 2;
constexpr ViUInt16 VI_ASRL_PAR_NONE = 0;
constexpr ViUInt16 VI_ASRL_PAR_ODD = 1;
constexpr ViUInt16 VI_ASRL_PAR_EVEN = 2;
constexpr ViUInt16 VI_ASRL_STOP_ONE = 10;
constexpr ViUInt16 VI_ASRL_STOP_TWO = 20;
constexpr ViUInt16 VI_ASRL_END_NONE = 0;
constexpr ViUInt16 VI_ASRL_END_TERMCHAR = 2;
constexpr ViUInt16 VI_ASRL488 = 4;
constexpr ViUInt16 VI_FLUSH_ON_ACCESS = 1;
constexpr ViUInt16 VI_INTF_GPIB = 1;
constexpr ViUInt16 VI_INTF_ASRL = 4;
constexpr ViUInt16 VI_INTF_TCPIP = 6;

// The functions, as pointer types for the run-time loaded table.
extern "C" {
typedef ViStatus (*PviOpenDefaultRM)(ViPSession vi);
typedef ViStatus (*PviFindRsrc)(ViSession sesn, ViConstString expr, ViPFindList vi, ViPUInt32 retCnt, ViChar desc[]);
typedef ViStatus (*PviFindNext)(ViFindList vi, ViChar desc[]);
typedef ViStatus (*PviOpen)(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout, ViPSession vi);
typedef ViStatus (*PviClose)(ViObject vi);
typedef ViStatus (*PviGetAttribute)(ViObject vi, ViAttr attrName, void *attrValue);
typedef ViStatus (*PviSetAttribute)(ViObject vi, ViAttr attrName, ViAttrState attrValue);
typedef ViStatus (*PviClear)(ViSession vi);
typedef ViStatus (*PviPrintf)(ViSession vi, ViConstString writeFmt, ...);
typedef ViStatus (*PviScanf)(ViSession vi, ViConstString readFmt, ...);
typedef ViStatus (*PviQueryf)(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ...);
typedef ViStatus (*PviWrite)(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt);
typedef ViStatus (*PviRead)(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt);
}
