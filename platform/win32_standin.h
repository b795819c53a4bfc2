// A small Linux stand-in for the user32 and comctl32 functions the plug-in
// calls, with Windows' own names, types, constants, structure layouts and
// calling convention, so that the editor's code is the same on both systems.
//
// Besides the Windows functions it exports a few functions of its own, all
// named standin_*, through which tests and the host simulator script the
// message box, make window creation fail and read the windows and the list
// view the plug-in made. They take and return C types only, so callers can
// find them with dlsym on the plug-in's handle (the PFN_standin_* typedefs
// below carry the right calling convention).
//
// Everything runs on the thread that calls the plug-in; nothing here locks.
#pragma once

#include <cstddef>
#include <cstdint>

// Windows' standard calling convention, the callee removing its arguments;
// x86-64 has one convention only, and gcc warns that the attribute is
// ignored there.
#if defined(__i386__)
#define WINAPI __attribute__((stdcall))
#else
#define WINAPI
#endif
#define QMX_STANDIN_API extern "C" __attribute__((visibility("default")))

// ---------------------------------------------------------------------------
// Types, with the Windows widths: LONG and DWORD are 32 bits on every build
// (Linux's long is 64 bits on x86-64), the *_PTR types and handles follow the
// pointer width.

typedef int BOOL;
typedef int INT;
typedef unsigned int UINT;
typedef int32_t LONG;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef UINT* PUINT;

// Distinct opaque handle types, as <windows.h> declares them with STRICT.
struct HWND__ {
  int unused;
};
typedef struct HWND__* HWND;
struct HINSTANCE__ {
  int unused;
};
typedef struct HINSTANCE__* HINSTANCE;
struct HMENU__ {
  int unused;
};
typedef struct HMENU__* HMENU;

typedef struct tagPOINT {
  LONG x;
  LONG y;
} POINT;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// ---------------------------------------------------------------------------
// Constants, with the values of the Windows SDK headers.

#define WS_CHILD 0x40000000
#define WS_VISIBLE 0x10000000
#define WS_EX_CLIENTEDGE 0x00000200

#define SW_HIDE 0
#define SW_SHOWNORMAL 1

#define MB_OK 0x00000000
#define MB_YESNO 0x00000004
#define MB_ICONQUESTION 0x00000020
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

#define WC_LISTVIEWA "SysListView32"

#define LVS_REPORT 0x0001
#define LVS_SINGLESEL 0x0004
#define LVS_SORTASCENDING 0x0010

#define LVS_EX_FULLROWSELECT 0x00000020
#define LVS_EX_UNDERLINECOLD 0x00001000

#define LVM_FIRST 0x1000
#define LVM_GETITEMCOUNT 0x1004
#define LVM_INSERTITEMA 0x1007
#define LVM_DELETEITEM 0x1008
#define LVM_FINDITEMA 0x100D
#define LVM_REDRAWITEMS 0x1015
#define LVM_INSERTCOLUMNA 0x101B
#define LVM_SETITEMSTATE 0x102B
#define LVM_GETITEMSTATE 0x102C
#define LVM_GETITEMTEXTA 0x102D
#define LVM_SETITEMTEXTA 0x102E
#define LVM_SETEXTENDEDLISTVIEWSTYLE 0x1036

#define LVIF_TEXT 0x0001
#define LVIF_STATE 0x0008

#define LVIS_FOCUSED 0x0001
#define LVIS_SELECTED 0x0002

#define LVFI_STRING 0x0002
#define LVFI_PARTIAL 0x0008
#define LVFI_WRAP 0x0020

#define LVCF_FMT 0x0001
#define LVCF_WIDTH 0x0002
#define LVCF_TEXT 0x0004
#define LVCF_SUBITEM 0x0008

// A pszText of this value asks the owner for the text on Windows; the
// stand-in has no owner notifications and treats it as an empty text.
#define LPSTR_TEXTCALLBACKA ((LPSTR)-1)

// ---------------------------------------------------------------------------
// Structures: natural (unpacked) layouts, the Vista-and-later forms.

typedef struct tagLVITEMA {
  UINT mask;
  int iItem;
  int iSubItem;
  UINT state;
  UINT stateMask;
  LPSTR pszText;
  int cchTextMax;
  int iImage;
  LPARAM lParam;
  int iIndent;
  int iGroupId;
  UINT cColumns;
  PUINT puColumns;
  int* piColFmt;
  int iGroup;
} LVITEMA, *LPLVITEMA;

typedef struct tagLVCOLUMNA {
  UINT mask;
  int fmt;
  int cx;
  LPSTR pszText;
  int cchTextMax;
  int iSubItem;
  int iImage;
  int iOrder;
  int cxMin;
  int cxDefault;
  int cxIdeal;
} LVCOLUMNA, *LPLVCOLUMNA;

typedef struct tagLVFINDINFOA {
  UINT flags;
  LPCSTR psz;
  LPARAM lParam;
  POINT pt;
  UINT vkDirection;
} LVFINDINFOA, *LPLVFINDINFOA;

// The 32-bit layouts, as i686-w64-mingw32 gives them for <commctrl.h> with
// _WIN32_WINNT=0x0600.
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(POINT) == 8, "POINT size");
static_assert(sizeof(LVITEMA) == 60, "LVITEMA size");
static_assert(offsetof(LVITEMA, mask) == 0, "LVITEMA.mask");
static_assert(offsetof(LVITEMA, iItem) == 4, "LVITEMA.iItem");
static_assert(offsetof(LVITEMA, iSubItem) == 8, "LVITEMA.iSubItem");
static_assert(offsetof(LVITEMA, state) == 12, "LVITEMA.state");
static_assert(offsetof(LVITEMA, stateMask) == 16, "LVITEMA.stateMask");
static_assert(offsetof(LVITEMA, pszText) == 20, "LVITEMA.pszText");
static_assert(offsetof(LVITEMA, cchTextMax) == 24, "LVITEMA.cchTextMax");
static_assert(offsetof(LVITEMA, iImage) == 28, "LVITEMA.iImage");
static_assert(offsetof(LVITEMA, lParam) == 32, "LVITEMA.lParam");
static_assert(offsetof(LVITEMA, iIndent) == 36, "LVITEMA.iIndent");
static_assert(offsetof(LVITEMA, iGroupId) == 40, "LVITEMA.iGroupId");
static_assert(offsetof(LVITEMA, cColumns) == 44, "LVITEMA.cColumns");
static_assert(offsetof(LVITEMA, puColumns) == 48, "LVITEMA.puColumns");
static_assert(offsetof(LVITEMA, piColFmt) == 52, "LVITEMA.piColFmt");
static_assert(offsetof(LVITEMA, iGroup) == 56, "LVITEMA.iGroup");
static_assert(sizeof(LVCOLUMNA) == 44, "LVCOLUMNA size");
static_assert(offsetof(LVCOLUMNA, mask) == 0, "LVCOLUMNA.mask");
static_assert(offsetof(LVCOLUMNA, fmt) == 4, "LVCOLUMNA.fmt");
static_assert(offsetof(LVCOLUMNA, cx) == 8, "LVCOLUMNA.cx");
static_assert(offsetof(LVCOLUMNA, pszText) == 12, "LVCOLUMNA.pszText");
static_assert(offsetof(LVCOLUMNA, cchTextMax) == 16, "LVCOLUMNA.cchTextMax");
static_assert(offsetof(LVCOLUMNA, iSubItem) == 20, "LVCOLUMNA.iSubItem");
static_assert(offsetof(LVCOLUMNA, iImage) == 24, "LVCOLUMNA.iImage");
static_assert(offsetof(LVCOLUMNA, iOrder) == 28, "LVCOLUMNA.iOrder");
static_assert(offsetof(LVCOLUMNA, cxMin) == 32, "LVCOLUMNA.cxMin");
static_assert(offsetof(LVCOLUMNA, cxDefault) == 36, "LVCOLUMNA.cxDefault");
static_assert(offsetof(LVCOLUMNA, cxIdeal) == 40, "LVCOLUMNA.cxIdeal");
static_assert(sizeof(LVFINDINFOA) == 24, "LVFINDINFOA size");
static_assert(offsetof(LVFINDINFOA, flags) == 0, "LVFINDINFOA.flags");
static_assert(offsetof(LVFINDINFOA, psz) == 4, "LVFINDINFOA.psz");
static_assert(offsetof(LVFINDINFOA, lParam) == 8, "LVFINDINFOA.lParam");
static_assert(offsetof(LVFINDINFOA, pt) == 12, "LVFINDINFOA.pt");
static_assert(offsetof(LVFINDINFOA, vkDirection) == 20, "LVFINDINFOA.vkDirection");
#endif

// ---------------------------------------------------------------------------
// comctl32 and user32.

// Registers the common control classes; until it has run, creating a
// "SysListView32" window fails, as with comctl32.
QMX_STANDIN_API void WINAPI InitCommonControls(void);

// Creates a window of class "SysListView32" (after InitCommonControls) or
// "STATIC" (a plain window, used by the simulator as the settings page);
// class names compare without regard to ASCII case, as on Windows.
// Returns a new, never reused, non-null handle, or null when the class is
// unknown or null, when hWndParent is not null and not a live window, when
// WS_CHILD is set without a parent, or when a failure was scripted with
// standin_failNextWindowCreations. lpParam is ignored.
QMX_STANDIN_API HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName,
                                            LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                                            HINSTANCE hInstance, LPVOID lpParam);

// Destroys the window and, first, all its descendants. Returns FALSE for a
// null, unknown or already destroyed handle.
QMX_STANDIN_API BOOL WINAPI DestroyWindow(HWND hWnd);

// Shows (any command but SW_HIDE) or hides the window, and records the
// command. Returns non-zero when the window was visible before the call;
// FALSE, recording nothing, for a handle that is not a live window.
QMX_STANDIN_API BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow);

// Delivers a message. A list view answers these as comctl32 does (row and
// column indexes clamp to the end where comctl32 clamps them; a null
// structure pointer fails):
//   LVM_SETEXTENDEDLISTVIEWSTYLE wParam mask (0: all bits), lParam style;
//     answers the previous extended style.
//   LVM_INSERTCOLUMNA  wParam index, LVCOLUMNA (LVCF_WIDTH, LVCF_TEXT);
//     answers the new index or -1.
//   LVM_INSERTITEMA    LVITEMA iItem (iSubItem must be 0; LVIF_TEXT,
//     LVIF_STATE); answers the new index or -1. Rows keep insertion order
//     unless the list has LVS_SORTASCENDING.
//   LVM_SETITEMTEXTA   wParam row, LVITEMA iSubItem and pszText; TRUE/FALSE.
//     Sub-item 0 always exists, others only once their column does.
//   LVM_GETITEMTEXTA   wParam row, LVITEMA iSubItem, pszText, cchTextMax;
//     answers the number of characters copied.
//   LVM_DELETEITEM     wParam row; later rows move up; TRUE/FALSE.
//   LVM_GETITEMCOUNT   answers the number of rows.
//   LVM_GETITEMSTATE   wParam row, lParam mask; answers state & mask.
//   LVM_SETITEMSTATE   wParam row or -1 for all, LVITEMA state/stateMask;
//     TRUE/FALSE. The focus, and the selection of an LVS_SINGLESEL list,
//     belong to one row at a time.
//   LVM_REDRAWITEMS    wParam first, lParam last; recorded; TRUE.
//   LVM_FINDITEMA      wParam start (-1: from the first row, otherwise from
//     the row after it, wrapping only with LVFI_WRAP), LVFINDINFOA with
//     LVFI_STRING (whole first-column text) or LVFI_PARTIAL (prefix),
//     compared without regard to case as code page 1250 does; answers the
//     row or -1.
// Every other message, any message to a "STATIC" window, and any message to
// a null, unknown or destroyed handle answer 0 and change nothing.
QMX_STANDIN_API LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

// Records the owner, text, caption (null texts as empty) and style, and
// returns the scripted answer (standin_setMessageBoxAnswer). With no script
// the answer is IDNO: a confirmation nobody scripted must not destroy data.
QMX_STANDIN_API int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);

// ---------------------------------------------------------------------------
// The stand-in's own functions, for tests and the simulator.

// How often InitCommonControls ran since the library was loaded or since the
// last standin_reset.
QMX_STANDIN_API int WINAPI standin_initCommonControlsCount(void);

// Back to the state of a freshly loaded library: destroys every window,
// forgets message boxes, scripts and counters, and forgets that the common
// controls were initialised (a list view can be made only after the next
// InitCommonControls). Handles stay unique across resets: a handle from
// before is never valid again.
QMX_STANDIN_API void WINAPI standin_reset(void);

// Makes each of the next `count` calls of CreateWindowExA fail (return null),
// whatever their arguments; 0 or a negative count cancels a pending script.
QMX_STANDIN_API void WINAPI standin_failNextWindowCreations(int count);

// The handle of the window made last, or null if none was made since the
// last reset (it may have been destroyed since).
QMX_STANDIN_API HWND WINAPI standin_lastCreatedWindow(void);

// TRUE if the handle names a live window.
QMX_STANDIN_API BOOL WINAPI standin_isWindow(HWND hWnd);

// A window's creation arguments and later state.
typedef struct StandinWindowInfo {
  DWORD exStyle;
  char className[32];  // as registered: "SysListView32" or "STATIC"
  int titleLength;     // length of the full title; -1 when it was null
  char title[256];     // the title, truncated to fit, always terminated
  DWORD style;
  int x;
  int y;
  int width;
  int height;
  HWND parent;
  HMENU controlId;  // the hMenu argument: a child's control id
  HINSTANCE instance;
  DWORD listViewExStyle;  // from LVM_SETEXTENDEDLISTVIEWSTYLE; 0 otherwise
  BOOL visible;           // WS_VISIBLE at creation, then ShowWindow
  int lastShowCommand;    // -1 until ShowWindow is called
  int showCount;          // calls of ShowWindow on this window
} StandinWindowInfo;

// Fills *info for a live window. Returns FALSE (leaving *info alone) for a
// null info or a handle that is not a live window.
QMX_STANDIN_API BOOL WINAPI standin_getWindowInfo(HWND hWnd, StandinWindowInfo* info);

// The following list readers answer -1 (or FALSE) when hWnd is not a live
// list view or the row or column does not exist. Texts are copied into
// buffer (size bytes including the terminator, truncated to fit; nothing is
// written when buffer is null or size is 0) and the full length is returned.

// Number of columns.
QMX_STANDIN_API int WINAPI standin_listColumnCount(HWND hWnd);
// A column's width in pixels (0 when it was inserted without LVCF_WIDTH).
QMX_STANDIN_API int WINAPI standin_listColumnWidth(HWND hWnd, int column);
// A column's header text.
QMX_STANDIN_API int WINAPI standin_listColumnText(HWND hWnd, int column, char* buffer, int size);
// Number of rows.
QMX_STANDIN_API int WINAPI standin_listRowCount(HWND hWnd);
// The text of a cell; column 0 is the row's item text. A cell of an
// existing column that was never set reads as empty.
QMX_STANDIN_API int WINAPI standin_listCellText(HWND hWnd, int row, int column, char* buffer,
                                                int size);
// 1 if the row is selected, 0 if not, -1 as above.
QMX_STANDIN_API int WINAPI standin_listRowSelected(HWND hWnd, int row);
// Selects or deselects a row, or every row when row is -1, as a user's click
// would (in an LVS_SINGLESEL list, selecting a row deselects the others).
// Returns FALSE when the row does not exist.
QMX_STANDIN_API BOOL WINAPI standin_listSetRowSelected(HWND hWnd, int row, BOOL selected);
// How many LVM_REDRAWITEMS the list received.
QMX_STANDIN_API int WINAPI standin_listRedrawCount(HWND hWnd);
// The range of the last LVM_REDRAWITEMS. Returns FALSE, writing nothing,
// when there was none or hWnd is not a live list view; null outputs are
// skipped.
QMX_STANDIN_API BOOL WINAPI standin_listLastRedraw(HWND hWnd, int* first, int* last);

// How many message boxes were shown since the last reset.
QMX_STANDIN_API int WINAPI standin_messageBoxCount(void);
// The answer the following message boxes return (IDYES, IDNO, ...).
QMX_STANDIN_API void WINAPI standin_setMessageBoxAnswer(int answer);
// The last message box's text and caption, copied as the list readers copy;
// -1 when none was shown.
QMX_STANDIN_API int WINAPI standin_lastMessageBoxText(char* buffer, int size);
QMX_STANDIN_API int WINAPI standin_lastMessageBoxCaption(char* buffer, int size);
// The last message box's style (0 when none was shown).
QMX_STANDIN_API UINT WINAPI standin_lastMessageBoxStyle(void);
// The last message box's owner (null when none was shown, or no owner).
QMX_STANDIN_API HWND WINAPI standin_lastMessageBoxOwner(void);

// Pointer types for callers that find the functions with dlsym.
typedef int(WINAPI* PFN_standin_initCommonControlsCount)(void);
typedef void(WINAPI* PFN_standin_reset)(void);
typedef void(WINAPI* PFN_standin_failNextWindowCreations)(int);
typedef HWND(WINAPI* PFN_standin_lastCreatedWindow)(void);
typedef BOOL(WINAPI* PFN_standin_isWindow)(HWND);
typedef BOOL(WINAPI* PFN_standin_getWindowInfo)(HWND, StandinWindowInfo*);
typedef int(WINAPI* PFN_standin_listColumnCount)(HWND);
typedef int(WINAPI* PFN_standin_listColumnWidth)(HWND, int);
typedef int(WINAPI* PFN_standin_listColumnText)(HWND, int, char*, int);
typedef int(WINAPI* PFN_standin_listRowCount)(HWND);
typedef int(WINAPI* PFN_standin_listCellText)(HWND, int, int, char*, int);
typedef int(WINAPI* PFN_standin_listRowSelected)(HWND, int);
typedef BOOL(WINAPI* PFN_standin_listSetRowSelected)(HWND, int, BOOL);
typedef int(WINAPI* PFN_standin_listRedrawCount)(HWND);
typedef BOOL(WINAPI* PFN_standin_listLastRedraw)(HWND, int*, int*);
typedef int(WINAPI* PFN_standin_messageBoxCount)(void);
typedef void(WINAPI* PFN_standin_setMessageBoxAnswer)(int);
typedef int(WINAPI* PFN_standin_lastMessageBoxText)(char*, int);
typedef int(WINAPI* PFN_standin_lastMessageBoxCaption)(char*, int);
typedef UINT(WINAPI* PFN_standin_lastMessageBoxStyle)(void);
typedef HWND(WINAPI* PFN_standin_lastMessageBoxOwner)(void);
