// Calling conventions of the host boundary.
#pragma once

// The messenger calls the plug-in, and the plug-in calls the host's operation
// table, with the Windows standard calling convention: the callee removes its
// arguments. On x86-64 there is only one convention, and gcc would warn that
// the attribute is ignored, so the macro is empty there.
#if defined(_WIN32)
#define QMX_STDCALL __stdcall
#elif defined(__i386__)
#define QMX_STDCALL __attribute__((stdcall))
#else
#define QMX_STDCALL
#endif

// Marks the one symbol the Linux builds export. The DLL's exports come from
// its .def file instead, so that the table holds exactly what the host needs.
#if defined(_WIN32)
#define QMX_EXPORT
#else
#define QMX_EXPORT __attribute__((visibility("default")))
#endif
