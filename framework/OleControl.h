// Base of an in-process OLE control: identity, dispatch, persistence, in-place activation, drawing.
#pragma once

#include "framework/ComObject.h"
#include "framework/Dispatch.h"
#include "framework/Persist.h"
#include "framework/Raii.h"
#include "framework/VerbEnum.h"
#include "framework/Window.h"

#include <ocidl.h>
#include <olectl.h>

#include <span>
#include <vector>

namespace fw {

// What a control class tells the base about itself.
struct ControlClass {
    const CLSID& clsid;
    const IID& primaryDispatch;  // the dispinterface the page scripts
    const IID& events;           // the source dispinterface
    const GUID& libid;
    WORD libMajor;
    WORD libMinor;
    DWORD miscStatus;
    UINT userTypeNameId;  // string resource: the name containers show
    std::span<const CLSID> propertyPages;
    std::span<const ControlVerb> verbs;  // offered on the container's menu
};

class OleControl : public ComObject<IDispatch, IOleObject, AlsoAs<IOleInPlaceObject, IOleWindow>,
                                    IOleInPlaceActiveObject, IOleControl, AlsoAs<IViewObject2, IViewObject>,
                                    IPersistPropertyBag, AlsoAs<IPersistStreamInit, IPersist>, IPersistStorage,
                                    AlsoAs<IProvideClassInfo2, IProvideClassInfo>, ISpecifyPropertyPages>,
                   protected WindowOwner {
public:
    explicit OleControl(const ControlClass& cls);

    // IUnknown: the interfaces above, the class's own dispinterface, and the derived control's.
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent, LPCRECT rect) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* name) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** e) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    STDMETHODIMP GetWindow(HWND* hwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG*) override { return E_NOTIMPL; }
    STDMETHODIMP OnAmbientPropertyChange(DISPID) override { return S_OK; }
    STDMETHODIMP FreezeEvents(BOOL) override { return S_OK; }

    // IViewObject2
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target, HDC targetDc, HDC dc,
                      LPCRECTL bounds, LPCRECTL wbounds, BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR),
                      ULONG_PTR arg) override;
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override { return E_NOTIMPL; }
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* target, LPSIZEL size) override;

    // IPersist and its kinds
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(IStream* stream) override;
    STDMETHODIMP Save(IStream* stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew(IStorage* storage) override;
    STDMETHODIMP Load(IStorage* storage) override;
    STDMETHODIMP Save(IStorage* storage, BOOL sameAsLoad) override;
    STDMETHODIMP SaveCompleted(IStorage* storage) override;
    STDMETHODIMP HandsOffStorage() override { return S_OK; }

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    HWND Hwnd() const { return hwnd_; }

protected:
    ~OleControl() override = default;

    // The control's members as the dispatch machinery sees them (one-liners over its table).
    virtual HRESULT DispatchIdOfName(LPOLESTR* names, UINT count, DISPID* ids) = 0;
    virtual HRESULT DispatchInvoke(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argErr) = 0;
    // The persisted properties, bound to this object, in exchange order (after the base's own).
    virtual std::vector<PropertyRef> PersistedProperties() = 0;
    // Interfaces the derived control adds (answered after the base's).
    virtual IUnknown* QueryExtraInterface(REFIID) { return nullptr; }

    // Window class and styles before the window is created.
    virtual void PreCreateWindow(WindowCreate& create) = 0;
    // Messages of the control's window; the default passes them to the superclassed class.
    virtual LRESULT OnWindowMessage(UINT msg, WPARAM wp, LPARAM lp) { return DefaultWindowProc(msg, wp, lp); }
    LRESULT DefaultWindowProc(UINT msg, WPARAM wp, LPARAM lp) { return CallBase(hwnd_, msg, wp, lp); }
    // Whether a key the user pressed in the control's window is the control's rather than the
    // container's (TranslateAccelerator): by default the keys that move within it.
    virtual bool TakesKey(const MSG& msg) const;
    // Paints the control into dc within bounds (used when a container asks for a drawing).
    virtual void OnDraw(HDC dc, const RECT& bounds);
    // Runs the superclassed window's own painting into dc, offset to bounds.
    void DoSuperclassPaint(HDC dc, const RECT& bounds);

    void SetModifiedFlag(bool modified = true) { modified_ = modified; }
    // The container's frame while the control is active in place (null otherwise).
    IOleInPlaceFrame* InPlaceFrame() const { return frame_.Get(); }
    bool IsModified() const { return modified_; }
    // Shows the property pages in a modal frame owned by parent.
    HRESULT ShowPropertyPages(HWND parent);
    HRESULT LoadTypeInfo(REFGUID guid, LCID lcid, ITypeInfo** info);

private:
    // The window goes while the whole object still exists: its last messages (WM_DESTROY) reach
    // the derived control, whose members it may still use.
    void OnFinalRelease() final { DestroyControlWindow(); }
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) final;
    void OnWindowDestroyed() final;
    HRESULT InPlaceActivate(LONG verb, IOleClientSite* activeSite, HWND parent, LPCRECT rect);
    // The control's window at pos in parent, in a reflector when the control asks for one.
    bool CreateControlWindow(const RECT& pos, HWND parent);
    void DestroyControlWindow();
    // The window the container places and shows: the reflector, or the control's window itself.
    HWND PlacedWindow() const { return reflector_ ? reflector_ : hwnd_; }
    void OnFocusOrClick();
    std::vector<PropertyRef> AllPersistedProperties();

    const ControlClass& class_;
    bool modified_ = false;
    ComPtr<IOleClientSite> clientSite_;
    ComPtr<IOleInPlaceSite> inPlaceSite_;
    ComPtr<IOleInPlaceFrame> frame_;
    ComPtr<IOleInPlaceUIWindow> uiWindow_;
    ComPtr<IOleAdviseHolder> adviseHolder_;
    ComPtr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewAdviseFlags_ = 0;
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
    HWND hwnd_ = nullptr;
    HWND reflector_ = nullptr;  // holds hwnd_ when the control hears its window's notifications
    SIZEL extent_;              // HIMETRIC
    std::uint32_t version_ = 0x00010000;
    std::uint32_t extentX_ = 0;
    std::uint32_t extentY_ = 0;
};

}  // namespace fw
