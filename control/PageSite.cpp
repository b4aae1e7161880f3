// The URL of the page that hosts the control, and whether this build's site list lets that page
// use it (scripting, params, adding files, uploads).
#include "control/TovaloCtrl.h"

#include "control/SiteAllowList.h"

#include <mshtml.h>

namespace tovalo {
namespace {

// Page URLs are compared as UTF-8; a host outside ASCII is never on a list anyway.
std::string Utf8(const wchar_t* wide) {
    if (!wide || !*wide) return {};
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return {};
    std::string text(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), bytes, nullptr, nullptr);
    text.resize(static_cast<size_t>(bytes - 1));
    return text;
}

// The display name of the container's moniker: what a document container says it was loaded from.
std::string UrlFromMoniker(IOleClientSite& site) {
    fw::ComPtr<IMoniker> moniker;
    if (FAILED(site.GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_CONTAINER, moniker.Put())) || !moniker) {
        return {};
    }
    fw::ComPtr<IBindCtx> context;
    if (FAILED(::CreateBindCtx(0, context.Put()))) return {};
    LPOLESTR name = nullptr;
    if (FAILED(moniker->GetDisplayName(context.Get(), nullptr, &name))) return {};
    std::string url = Utf8(name);
    ::CoTaskMemFree(name);
    return url;
}

// An HTML document as container tells its own URL.
std::string UrlFromDocument(IOleClientSite& site) {
    fw::ComPtr<IOleContainer> container;
    if (FAILED(site.GetContainer(container.Put())) || !container) return {};
    auto document = container.As<IHTMLDocument2>(IID_IHTMLDocument2);
    BSTR url = nullptr;
    if (!document || FAILED(document->get_URL(&url))) return {};
    std::string text = Utf8(url);
    ::SysFreeString(url);
    return text;
}

}  // namespace

std::string CTovaloCtrl::PageUrl() {
    fw::ComPtr<IOleClientSite> site;
    if (FAILED(GetClientSite(site.Put())) || !site) return {};
    std::string url = UrlFromMoniker(*site.Get());
    return url.empty() ? UrlFromDocument(*site.Get()) : url;
}

bool CTovaloCtrl::PageAllowed() {
    // A build for every site asks the container nothing.
    const BuiltSites built = SitesOfThisBuild();
    if (built.policy == SitePolicy::kEverySite) return true;
    return PageAdmitted(built.policy, PageUrl(), built.sites);
}

}  // namespace tovalo
