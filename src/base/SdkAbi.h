// Binary interface of the SDK base library qsdxbase.dll. Slots are fixed by
// declaration order; reserved slots keep the later ones in place.
#pragma once

#include <windows.h>
#include <unknwn.h>
#include <cstdint>

namespace sdk {

// {772E3531-635D-47E8-AC57-371E4DC696D2}
constexpr GUID kProductValueLookupId = {0x772E3531, 0x635D, 0x47E8, {0xAC, 0x57, 0x37, 0x1E, 0x4D, 0xC6, 0x96, 0xD2}};
// {C3B31EDA-415E-4024-89E9-7893EC0EC335}
constexpr GUID kReportSenderId = {0xC3B31EDA, 0x415E, 0x4024, {0x89, 0xE9, 0x78, 0x93, 0xEC, 0x0E, 0xC3, 0x35}};

constexpr wchar_t kSdkLibraryName[] = L"qsdxbase.dll";
constexpr char kGetClassObjectExport[] = "QSDllGetClassObject";

using GetClassObjectFn = HRESULT(__stdcall*)(REFCLSID clsid, REFIID iid, void** out);

struct IProductValueLookup : public IUnknown {
    virtual HRESULT __stdcall Init() = 0;                       // slot 3
    virtual HRESULT __stdcall Reserved4() = 0;
    virtual HRESULT __stdcall Reserved5() = 0;
    virtual HRESULT __stdcall Reserved6() = 0;
    virtual HRESULT __stdcall Reserved7() = 0;
    virtual const wchar_t* __stdcall GetValue(const wchar_t* section, const wchar_t* key,
                                              const wchar_t* field) = 0;  // slot 8
};

// Made by IReportSender::CreateRecord; no IUnknown base.
struct IReportRecord {
    virtual void __stdcall SetTableDecl(const wchar_t* decl) = 0;                   // slot 0
    virtual void __stdcall SetText(const wchar_t* name, const wchar_t* value) = 0;  // slot 1
    virtual void __stdcall SetInt(const wchar_t* name, int32_t value) = 0;          // slot 2
};

struct IReportSender : public IUnknown {
    virtual HRESULT __stdcall Init() = 0;                      // slot 3
    virtual void __stdcall Shutdown() = 0;                     // slot 4
    virtual HRESULT __stdcall Reserved5() = 0;
    virtual const wchar_t* __stdcall GetReportSwitch() = 0;    // slot 6
    virtual IReportRecord* __stdcall CreateRecord() = 0;       // slot 7
    virtual HRESULT __stdcall Send(IReportRecord* record) = 0; // slot 8
};

}  // namespace sdk
