// The fixed identities of Tovalo.ocx. Pages embed the control by its CLSID: never change them.
#pragma once

#include <windows.h>
#include <oleidl.h>

namespace tovalo {

extern const GUID LIBID_TovaloLib;        // type library TovaloLib 1.0
extern const CLSID CLSID_TovaloCtrl;      // the control, ProgID "TOVALO.TovaloCtrl.1"
extern const IID DIID_DTovalo;            // _DTovalo, the dispatch interface
extern const IID DIID_DTovaloEvents;      // _DTovaloEvents, the (empty) event interface
extern const CLSID CLSID_TovaloPropPage;  // the property page

inline constexpr wchar_t kControlProgId[] = L"TOVALO.TovaloCtrl.1";
inline constexpr wchar_t kPropPageProgId[] = L"TOVALO.TovaloPropPage.1";
inline constexpr WORD kLibMajor = 1;
inline constexpr WORD kLibMinor = 0;

// What containers read before they load the control (registered as MiscStatus, and answered by
// GetMiscStatus): activate when visible, set the client site first, inside-out, cannot link
// inside, recompose on resize.
inline constexpr DWORD kMiscStatus = 0x20191;
static_assert(kMiscStatus == (OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT |
                              OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE));

}  // namespace tovalo
