// The one place where operating-system error numbers (errno) become the
// error codes the system's messages show.
//
// Those messages name errors by the codes of the Windows interfaces the
// gateway's behaviour was first defined on: Windows Sockets codes for the
// network ("Socket Error # 10048", and the peer threads tell a client's
// abort, 10053, and reset, 10054, by them) and Windows system error codes for
// the serial port ("win error code 5"). Users, scripts and log readers rely
// on these codes, so a Linux build shows the same ones, mapped here.
#ifndef VANTREL_BASE_WINDOWS_ERROR_CODE_H_
#define VANTREL_BASE_WINDOWS_ERROR_CODE_H_

namespace vantrel {

// The Windows Sockets code (10004 to 10066) for a socket call's errno
// value; a value without a counterpart is returned unchanged.
int WinsockCodeFromErrno(int errno_value);

// The Windows system error code for a device call's errno value: no such
// device (ENOENT, ENODEV, ENXIO) 2, access denied (EACCES, EPERM, and EBUSY:
// a port held elsewhere is refused as access denied) 5, EINVAL 87, EIO 1117;
// a value without a counterpart is returned unchanged.
int WindowsCodeFromErrno(int errno_value);

}  // namespace vantrel

#endif  // VANTREL_BASE_WINDOWS_ERROR_CODE_H_
