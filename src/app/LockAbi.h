// Binary interface of the lock library Pavrenkit.dll.
#pragma once

#include <windows.h>
#include <unknwn.h>
#include <cstdint>

namespace lockkit {

// {F3978773-1845-4B00-83A1-ACE193598A6B}
constexpr GUID kLockObjectId = {0xF3978773, 0x1845, 0x4B00, {0x83, 0xA1, 0xAC, 0xE1, 0x93, 0x59, 0x8A, 0x6B}};
constexpr wchar_t kLockLibraryName[] = L"Pavrenkit.dll";
constexpr char kGetClassObjectExport[] = "QSDllGetClassObject";
constexpr uint32_t kParamCount = 11;

using GetClassObjectFn = HRESULT(__stdcall*)(REFCLSID clsid, REFIID iid, void** out);

struct ILockObject : public IUnknown {
    virtual HRESULT __stdcall Reserved3() = 0;
    virtual HRESULT __stdcall Reserved4() = 0;
    virtual HRESULT __stdcall Reserved5() = 0;
    virtual int32_t __stdcall Query(int32_t a, uint32_t tid1, uint32_t tid2, int32_t kind) = 0;  // slot 6
    virtual int32_t __stdcall Act(int32_t a, uint32_t tid1, uint32_t tid2, int32_t kind) = 0;    // slot 7
    virtual HRESULT __stdcall Reserved8() = 0;
    virtual void __stdcall SetParams(const wchar_t* const* items, uint32_t count) = 0;          // slot 9
};

}  // namespace lockkit
