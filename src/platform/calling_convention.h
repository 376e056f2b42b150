// The calling convention of the packer plug-in interface.
//
// 32-bit Windows hosts call the exports with the Windows API convention, in
// which the called function removes its arguments from the stack; elsewhere
// there is only one convention.
#pragma once

#if defined(_WIN32) && !defined(_WIN64)
#define QUENDRIX_WCX_CALL __stdcall
#else
#define QUENDRIX_WCX_CALL
#endif
