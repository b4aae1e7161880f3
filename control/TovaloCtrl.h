// CTovaloCtrl: the Tovalo control, a superclassed list view with the page's scripting surface.
#pragma once

#include "control/FileDrop.h"
#include "control/ListRows.h"
#include "control/SizeLimit.h"
#include "framework/OleControl.h"
#include "control/SkinHeaderCtrl.h"

#include <objsafe.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace tovalo {

namespace upload {
class CFileUploadSlg;
}

class CTovaloCtrl final : public fw::OleControl {
public:
    CTovaloCtrl();

    // Scripting safety: safe for untrusted callers and data on every page the build admits
    // (every page when it names no sites); answers for the control.
    class XObjSafe final : public fw::InterfacePart<CTovaloCtrl, IObjectSafety> {
    public:
        using InterfacePart::InterfacePart;
        STDMETHODIMP GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) override;
        STDMETHODIMP SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) override;
    };

protected:
    HRESULT DispatchIdOfName(LPOLESTR* names, UINT count, DISPID* ids) override;
    HRESULT DispatchInvoke(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argErr) override;
    std::vector<fw::PropertyRef> PersistedProperties() override;
    IUnknown* QueryExtraInterface(REFIID riid) override;
    void PreCreateWindow(fw::WindowCreate& create) override;
    LRESULT OnWindowMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnDraw(HDC dc, const RECT& bounds) override;

private:
    ~CTovaloCtrl() override = default;

    static const fw::DispMember<CTovaloCtrl> kDispatch[];
    template <std::string CTovaloCtrl::*Member>
    static constexpr fw::DispMember<CTovaloCtrl> TextProperty(const wchar_t* name, DISPID id);
    static const fw::PersistedProperty<CTovaloCtrl> kPersisted[];

    // Window messages.
    LRESULT OnCreate(CREATESTRUCTW* cs);
    void OnDestroy();
    LRESULT OnLButtonDblClk(WPARAM wp, LPARAM lp);  // file list: open the row's file
    LRESULT OnKeyDown(WPARAM key, LPARAM lp);       // file list: Ctrl+A, Delete, Enter
    LRESULT OnTimer(WPARAM wp, LPARAM lp);          // server entries: the refresh pass
    bool TakesKey(const MSG& msg) const override;

    // Members of the scripting surface whose work lives in their own files.
    void AboutBox();
    void SetFileShow(const std::string& text);     // server entries
    void StartUpload();                            // the upload run
    void AddFileToList(const std::wstring& path);  // file list
    void SelectFile();
    void LoadDirFiles(const std::wstring& path);
    void LoadFilesFromDialog();
    void DeleteAllItemInList();
    void DeleteSelectedItem();
    void UpdateHideIcons();
    void ChangeListView(std::int32_t type);  // icon sets and view modes
    void ChangeIconSet(std::int32_t set);

    // The file list (FileList.cpp, ProbeFiles.cpp): rows, the checks of a local file, the totals.
    // Local paths are wide from the page, the dialogs and drops to the file the upload opens. The
    // rows and the list view that shows them are m_list; the totals and the limit m_limit.
    bool InsertFileItem(FileRow row);
    // A row's type text and image under an icon set (0: the shell's icons).
    FileRow::Look LookOf(const FileRow& row, std::int32_t iconSet);
    int GetShellIcon(const std::wstring& path, std::wstring& typeName);
    std::wstring GetProbeFolder();
    int ProbeIcon(const std::wstring& extension, std::wstring& typeText);
    bool AddLocalFile(const std::wstring& path, bool quiet);
    void LoadFolder(const std::wstring& folder);
    bool BrowseForFolder(std::wstring& path, const wchar_t* title, int rootCsidl, UINT flags);
    // Opens a local file with its program, as a double-click or Enter on its row does.
    void OpenRow(const FileRow& row);
    // A message box of the file list; inside a batch the list is drawn first, so that the user
    // sees the rows the message speaks of.
    void Tell(const wchar_t* text);
    // Whether the list takes changes now: it has its window, and no upload is running (an upload
    // hands over the rows it found and must not see them change).
    bool ListAcceptsChanges() const { return !m_uploading && Hwnd() != nullptr; }

    // The list's looks on this display (ListLooks.cpp): its pixel sizes at the window's DPI (the
    // column widths, the size-category icons; the header scales itself as it paints) and its
    // colours, the user's when high contrast is on. Checked whenever the list paints or hears of a
    // change of the display, so that a move to a monitor of another DPI and a change of the
    // contrast show at once however the container passes them on.
    void SetUpLooks();
    void FollowDisplay(bool coloursChanged);
    void ScaleColumns(UINT from, UINT to);
    void LoadSizeIcons();
    void ApplyColours();

    // Server entries (ServerEntries.cpp).
    void ParseFileShow(const std::string& text, bool timerPass);
    bool AddServerFile(FileRow entry);
    bool RefreshServerFile(FileRow entry);

    // The page that hosts the control (page site): its URL as the container tells it ("" when it
    // does not), and whether the build's site list admits it.
    std::string PageUrl();
    bool PageAllowed();

    // Files and folders dropped from the shell.
    bool AcceptsDrops();
    void OnDropFiles(HDROP drop);
    void AddDroppedPaths(const std::vector<std::wstring>& paths);

    XObjSafe m_xObjSafe{*this};
    // Takes over the list's header the first time the report view shows it.
    CSkinHeaderCtrl m_header;
    fw::UniqueImageList m_ilCustomLarge;
    fw::UniqueImageList m_ilCustomSmall;
    fw::UniqueImageList m_ilShellLarge;
    fw::UniqueImageList m_ilShellSmall;
    UINT m_dpi = 0;  // the DPI the columns and the size-category icons are sized for
    bool m_highContrast = false;
    COLORREF m_textColour = CLR_DEFAULT;  // the list view's own, for when high contrast ends
    COLORREF m_textBackground = CLR_DEFAULT;
    std::string m_ftpHost;
    std::uint32_t m_ftpPort = 21;
    std::string m_ftpId;
    std::string m_ftpPass;
    std::string m_uploadPath;
    std::string m_retFiles;
    std::string m_retFilesize;
    std::string m_textAttFile;
    std::string m_textLimit;
    std::string m_textDelete;
    std::string m_openFile;
    // The limits the page set and the totals of the list (totalSize, currentSize and their 64-bit
    // texts totalSizeStr, currentSizeStr, kept in the buffers below as the page last read them).
    SizeLimit m_limit;
    std::string m_totalSizeStr;
    std::string m_currentSizeStr;
    std::uint32_t m_showLogButton = 0;
    std::uint32_t m_retryCount = 10;
    // Non-zero: the upload must go over explicit FTPS (the project's own client), never in clear.
    std::uint32_t m_ftpSecure = 0;
    // The server certificate's SHA-256 (64 hex digits) to require instead of the trust store.
    std::string m_ftpCertPin;
    // Non-zero (the default): a retry after a store that broke off goes on where the server's copy
    // ends; 0 sends the file again from its start.
    std::uint32_t m_resumeUploads = 1;
    bool m_headerSkinned = false;
    bool m_uploading = false;
    upload::CFileUploadSlg* m_activeUpload = nullptr;  // while its dialog runs
    std::string m_pendingFileShow;
    std::int32_t m_iconSet = 0;
    std::int32_t m_tempFileCounter = 0;
    std::uint32_t m_uploadResult = 1;
    FileDropRegistration m_fileDrop;
    FileListRows m_list;
    // The shell's icon (its index in both shell image lists) and type text for each extension it
    // was asked about, so that a folder of one kind of file asks once; emptied with the lists.
    struct ShellIcon {
        int image;
        std::wstring type;
    };
    std::unordered_map<std::wstring, ShellIcon> m_shellIcons;
};

// Class factory entry: creates a control.
HRESULT CreateTovaloCtrl(REFIID riid, void** out);

}  // namespace tovalo
