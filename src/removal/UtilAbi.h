// Binary interface of the viewer's utility library qlumenoxutil.dll. Slots
// are fixed by declaration order; reserved slots keep the later ones in place.
// The objects have no IUnknown base: slot 1 releases them.
#pragma once

#include <windows.h>

#include <cstdint>

namespace util {

constexpr wchar_t kUtilLibraryName[] = L"qlumenoxutil.dll";
constexpr char kGetClassObjectExport[] = "DllGetClassObject";

// Passed in the class position: IUnknown's identifier
// {00000000-0000-0000-C000-000000000046}.
constexpr GUID kUtilClassId = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {A3A91D53-FC61-41EE-BFFA-B05FB52BFF22}
constexpr GUID kUtilInterfaceAId = {0xA3A91D53, 0xFC61, 0x41EE, {0xBF, 0xFA, 0xB0, 0x5F, 0xB5, 0x2B, 0xFF, 0x22}};
// {DCB1C28E-8C83-14AD-0D84-0F522D4D656E}
constexpr GUID kUtilInterfaceBId = {0xDCB1C28E, 0x8C83, 0x14AD, {0x0D, 0x84, 0x0F, 0x52, 0x2D, 0x4D, 0x65, 0x6E}};

using GetClassObjectFn = HRESULT(__stdcall*)(REFCLSID clsid, REFIID iid, void** out);

// Argument the uninstaller passes to IUtilA::Run.
constexpr int32_t kUtilARunArgument = 0;

struct IUtilA {
    virtual void __stdcall Reserved0() = 0;
    virtual void __stdcall Release() = 0;                // slot 1
    virtual int32_t __stdcall Run(int32_t argument) = 0; // slot 2; 0 = success
};

struct IUtilB {
    virtual void __stdcall Reserved0() = 0;
    virtual void __stdcall Release() = 0;  // slot 1
    virtual void __stdcall Reserved2() = 0;
    virtual int32_t __stdcall Run() = 0;   // slot 3; the operation's result
};

}  // namespace util
