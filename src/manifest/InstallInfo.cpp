#include "manifest/InstallInfo.h"

#include <cstdint>

#include "base/XmlConfigDocument.h"
#include "base/text.h"
#include "removal/Service.h"

namespace manifest {

std::wstring DecodeUtf8Bmp(std::string_view bytes) {
    using namespace base::utf8;
    std::wstring out;
    size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        uint32_t code = 0;
        size_t continuations = 0;
        if (lead < kContinuationMark) {
            code = lead;
        } else if ((lead & kTwoByteLeadMask) == kTwoByteLead) {
            code = lead & static_cast<unsigned char>(~kTwoByteLeadMask);
            continuations = 1;
        } else if ((lead & kThreeByteLeadMask) == kThreeByteLead) {
            code = lead & static_cast<unsigned char>(~kThreeByteLeadMask);
            continuations = 2;
        } else {
            break;
        }
        if (i + continuations >= bytes.size()) break;  // cut off by the end of the text
        // Continuation bytes contribute their low six bits whatever their top bits.
        for (size_t k = 1; k <= continuations; ++k) {
            code = (code << kBitsPerContinuation) | (static_cast<unsigned char>(bytes[i + k]) & kContinuationBits);
        }
        if (code == 0) break;
        out.push_back(static_cast<wchar_t>(code));
        i += continuations + 1;
    }
    return out;
}

int CServiceinfo::Execute(const base::XmlConfigDocument& element) {
    std::wstring name;
    if (!element.GetWideAttribute("name", name)) return 0;
    std::wstring description, displayName, group, commandLine;
    element.GetWideAttribute("description", description);
    element.GetWideAttribute("displayname", displayName);
    element.GetWideAttribute("group", group);
    element.GetWideAttribute("cmdline", commandLine);

    removal::QExecService service;
    service.SetExecutablePath(path());
    service.SetParameters(commandLine);
    service.SetLoadOrderGroup(group);
    service.SetServiceName(name);
    service.SetDisplayName(displayName);
    service.SetDescription(description);
    // A service that is not running answers the stop with an error; it is
    // deleted all the same.
    service.SetOperation(removal::kServiceOperationStop);
    service.RunOperation();
    service.SetOperation(removal::kServiceOperationDelete);
    service.RunOperation();
    return 1;
}

}  // namespace manifest
