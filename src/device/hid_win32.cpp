#include "device/hid_win32.h"

// clang-format off
#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>
#include <mmsystem.h>
// clang-format on

#include <cctype>
#include <string>
#include <vector>

namespace bw {
namespace {

// The few HID types used, declared here so that no driver kit headers are needed.
struct HiddAttributes {
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
};

struct HidpCaps {
    USHORT Usage;
    USHORT UsagePage;
    USHORT InputReportByteLength;
    USHORT OutputReportByteLength;
    USHORT FeatureReportByteLength;
    USHORT Reserved[17];
    USHORT NumberLinkCollectionNodes;
    USHORT NumberInputButtonCaps;
    USHORT NumberInputValueCaps;
    USHORT NumberInputDataIndices;
    USHORT NumberOutputButtonCaps;
    USHORT NumberOutputValueCaps;
    USHORT NumberOutputDataIndices;
    USHORT NumberFeatureButtonCaps;
    USHORT NumberFeatureValueCaps;
    USHORT NumberFeatureDataIndices;
};

constexpr LONG kHidpStatusSuccess = 0x00110000;

// The published HID interface class, used when HidD_GetHidGuid is not bound.
constexpr GUID kHidInterfaceGuid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// Size field of SP_DEVICE_INTERFACE_DETAIL_DATA_A: the structure is packed to
// 5 bytes in 32-bit builds and padded to 8 in 64-bit builds.
#ifdef _WIN64
constexpr DWORD kDetailSizeField = 8;
#else
constexpr DWORD kDetailSizeField = 5;
#endif

using GetHidGuidFn = void(WINAPI*)(GUID*);
using GetAttributesFn = BOOLEAN(WINAPI*)(HANDLE, HiddAttributes*);
using GetPreparsedDataFn = BOOLEAN(WINAPI*)(HANDLE, void**);
using GetCapsFn = LONG(WINAPI*)(void*, HidpCaps*);
using FreePreparsedDataFn = BOOLEAN(WINAPI*)(void*);
using FeatureFn = BOOLEAN(WINAPI*)(HANDLE, PVOID, ULONG);
using GetClassDevsFn = HDEVINFO(WINAPI*)(const GUID*, PCSTR, HWND, DWORD);
using EnumInterfacesFn = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD,
                                       PSP_DEVICE_INTERFACE_DATA);
using GetDetailFn = BOOL(WINAPI*)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA,
                                  PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD, PDWORD,
                                  PSP_DEVINFO_DATA);
using DestroyListFn = BOOL(WINAPI*)(HDEVINFO);
// CfgMgr32: the device tree above an interface, for the port its USB device hangs on.
using GetParentFn = DWORD(WINAPI*)(DWORD*, DWORD, ULONG);
using GetDeviceIdFn = DWORD(WINAPI*)(DWORD, PSTR, ULONG, ULONG);
using GetNodePropertyFn = DWORD(WINAPI*)(DWORD, ULONG, PULONG, PVOID, PULONG, ULONG);
using RegisterNotificationFn = DWORD(WINAPI*)(PCM_NOTIFY_FILTER, PVOID, PCM_NOTIFY_CALLBACK,
                                              PHCMNOTIFICATION);
using UnregisterNotificationFn = DWORD(WINAPI*)(HCMNOTIFICATION);
constexpr DWORD kConfigRetSuccess = 0;
constexpr ULONG kLocationPathsProperty = 0x24;  // CM_DRP_LOCATION_PATHS
constexpr ULONG kDeviceIdLength = 200;          // MAX_DEVICE_ID_LEN

// Bound once per process and never released, as the libraries stay loaded.
struct HidServices {
    std::string error;  // the first library or entry point that could not be bound
    bool setupBound = false;
    bool hidBound = false;
    GetHidGuidFn getHidGuid = nullptr;
    GetAttributesFn getAttributes = nullptr;
    GetPreparsedDataFn getPreparsedData = nullptr;
    GetCapsFn getCaps = nullptr;
    FreePreparsedDataFn freePreparsedData = nullptr;
    FeatureFn setFeature = nullptr;
    FeatureFn getFeature = nullptr;
    GetClassDevsFn getClassDevs = nullptr;
    EnumInterfacesFn enumInterfaces = nullptr;
    GetDetailFn getDetail = nullptr;
    DestroyListFn destroyList = nullptr;
    // Optional: without them every port is empty.
    GetParentFn getParent = nullptr;
    GetDeviceIdFn getDeviceId = nullptr;
    GetNodePropertyFn getNodeProperty = nullptr;
    RegisterNotificationFn registerNotification = nullptr;
    UnregisterNotificationFn unregisterNotification = nullptr;
};

template <typename Fn>
Fn Bind(HMODULE module, const char* name) {
    // Through the generic function pointer type, which the compiler accepts without warning.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Only from the system folder: a planted copy beside the program or in the current
// folder must never be loaded in its place.
HMODULE LoadQuietly(const char* name) {
    const UINT old = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetErrorMode(old);
    return module;
}

const HidServices& Services() {
    static const HidServices services = [] {
        HidServices s;
        if (HMODULE setup = LoadQuietly("SetupApi.dll")) {
            s.getClassDevs = Bind<GetClassDevsFn>(setup, "SetupDiGetClassDevsA");
            s.enumInterfaces = Bind<EnumInterfacesFn>(setup, "SetupDiEnumDeviceInterfaces");
            s.getDetail = Bind<GetDetailFn>(setup, "SetupDiGetDeviceInterfaceDetailA");
            s.destroyList = Bind<DestroyListFn>(setup, "SetupDiDestroyDeviceInfoList");
            s.setupBound = s.getClassDevs && s.enumInterfaces && s.getDetail && s.destroyList;
            if (!s.setupBound) s.error = "SetupApi.dll lacks a device-interface entry point";
        } else {
            s.error = "cannot load SetupApi.dll";
        }
        if (!s.setupBound) return s;
        if (HMODULE config = LoadQuietly("CfgMgr32.dll")) {
            s.getParent = Bind<GetParentFn>(config, "CM_Get_Parent");
            s.getDeviceId = Bind<GetDeviceIdFn>(config, "CM_Get_Device_IDA");
            s.getNodeProperty =
                Bind<GetNodePropertyFn>(config, "CM_Get_DevNode_Registry_PropertyA");
            s.registerNotification =
                Bind<RegisterNotificationFn>(config, "CM_Register_Notification");
            s.unregisterNotification =
                Bind<UnregisterNotificationFn>(config, "CM_Unregister_Notification");
        }
        if (HMODULE hid = LoadQuietly("HID.dll")) {
            s.getHidGuid = Bind<GetHidGuidFn>(hid, "HidD_GetHidGuid");
            s.getAttributes = Bind<GetAttributesFn>(hid, "HidD_GetAttributes");
            s.getPreparsedData = Bind<GetPreparsedDataFn>(hid, "HidD_GetPreparsedData");
            s.getCaps = Bind<GetCapsFn>(hid, "HidP_GetCaps");
            s.freePreparsedData = Bind<FreePreparsedDataFn>(hid, "HidD_FreePreparsedData");
            s.setFeature = Bind<FeatureFn>(hid, "HidD_SetFeature");
            s.getFeature = Bind<FeatureFn>(hid, "HidD_GetFeature");
            s.hidBound = s.getAttributes && s.getPreparsedData && s.getCaps &&
                         s.freePreparsedData && s.setFeature && s.getFeature;
            if (!s.hidBound) s.error = "HID.dll lacks a HidD_/HidP_ entry point";
        } else {
            s.error = "cannot load HID.dll";
        }
        return s;
    }();
    return services;
}

HANDLE OpenPath(const std::string& path) {
    // Access 0: neither read nor write is asked for, so system mice and keyboards open too.
    return CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       0, nullptr);
}

std::string LastErrorText(DWORD error) {
    if (error == ERROR_ACCESS_DENIED) return "permission denied";
    char* text = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result =
        n > 0 && text != nullptr ? std::string(text, n) : "error " + std::to_string(error);
    if (text != nullptr) LocalFree(text);
    while (!result.empty() &&
           (result.back() == '\r' || result.back() == '\n' || result.back() == '.'))
        result.pop_back();
    if (!result.empty())
        result[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(result[0])));
    return result;
}

// Reads attributes and capabilities of an opened interface into info.
void ReadIdentity(const HidServices& s, HANDLE handle, HidInterfaceInfo& info) {
    HiddAttributes attributes{};
    attributes.Size = sizeof attributes;
    if (s.getAttributes(handle, &attributes)) {
        info.vendorId = attributes.VendorID;
        info.productId = attributes.ProductID;
        info.release = attributes.VersionNumber;
    } else {
        info.attributesRead = false;
    }
    HidpCaps caps{};
    void* preparsed = nullptr;
    if (s.getPreparsedData(handle, &preparsed) && preparsed != nullptr) {
        if (s.getCaps(preparsed, &caps) != kHidpStatusSuccess) {
            caps = HidpCaps{};
            info.attributesRead = false;
        }
        s.freePreparsedData(preparsed);
    } else {
        info.attributesRead = false;
    }
    info.featureLength = caps.FeatureReportByteLength;
}

// The USB device above an interface's device node (a HID collection sits below the USB
// interface of a composite device, or right below the device): its location path such as
// "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(3)", else its instance id; empty when the
// tree cannot be read.
std::string UsbPort(const HidServices& s, DWORD node) {
    if (s.getParent == nullptr || s.getDeviceId == nullptr) return {};
    for (int level = 0; level < 4; ++level) {
        DWORD parent = 0;
        if (s.getParent(&parent, node, 0) != kConfigRetSuccess) return {};
        char id[kDeviceIdLength + 1] = {};
        if (s.getDeviceId(parent, id, kDeviceIdLength, 0) != kConfigRetSuccess) return {};
        const std::string text = id;
        std::string upper = text;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (upper.rfind("USB\\", 0) == 0 && upper.find("&MI_") == std::string::npos) {
            char paths[1024] = {};
            ULONG type = 0;
            ULONG size = sizeof paths - 2;
            if (s.getNodeProperty != nullptr &&
                s.getNodeProperty(parent, kLocationPathsProperty, &type, paths, &size, 0) ==
                    kConfigRetSuccess &&
                paths[0] != '\0')
                return paths;  // the first of the list
            return text;
        }
        node = parent;
    }
    return {};
}

// Woken by the system when any HID interface arrives or is removed: no interface is
// opened while nothing changes.
class NotifiedPresenceWatcher : public SignalledPresenceWatcher {
  public:
    explicit NotifiedPresenceWatcher(const HidServices& s) : services_(s) {}
    ~NotifiedPresenceWatcher() override {
        // Waits for a callback in progress; never called from one.
        if (handle_ != nullptr) services_.unregisterNotification(handle_);
    }
    NotifiedPresenceWatcher(const NotifiedPresenceWatcher&) = delete;
    NotifiedPresenceWatcher& operator=(const NotifiedPresenceWatcher&) = delete;

    bool start(const GUID& classId) {
        CM_NOTIFY_FILTER filter{};
        filter.cbSize = sizeof filter;
        filter.FilterType = CM_NOTIFY_FILTER_TYPE_DEVICEINTERFACE;
        filter.u.DeviceInterface.ClassGuid = classId;
        return services_.registerNotification(&filter, this, &OnEvent, &handle_) ==
                   kConfigRetSuccess &&
               handle_ != nullptr;
    }

  private:
    static DWORD CALLBACK OnEvent(HCMNOTIFICATION, PVOID context, CM_NOTIFY_ACTION action,
                                  PCM_NOTIFY_EVENT_DATA, DWORD) {
        if (action == CM_NOTIFY_ACTION_DEVICEINTERFACEARRIVAL ||
            action == CM_NOTIFY_ACTION_DEVICEINTERFACEREMOVAL)
            static_cast<NotifiedPresenceWatcher*>(context)->notify();
        return ERROR_SUCCESS;
    }

    const HidServices& services_;
    HCMNOTIFICATION handle_ = nullptr;
};

}  // namespace

std::unique_ptr<PresenceWatcher> Win32HidPlatform::watchPresence() {
    const HidServices& s = Services();
    if (s.registerNotification != nullptr && s.unregisterNotification != nullptr) {
        GUID classId = kHidInterfaceGuid;
        if (s.getHidGuid != nullptr) s.getHidGuid(&classId);
        auto watcher = std::make_unique<NotifiedPresenceWatcher>(s);
        if (watcher->start(classId)) return watcher;
    }
    return HidPlatform::watchPresence();
}

Win32HidPlatform::~Win32HidPlatform() {
    if (timerPeriodDepth_ > 0) timeEndPeriod(1);
}

std::vector<HidInterfaceInfo> Win32HidPlatform::enumerate() {
    const std::lock_guard<std::mutex> hold(lock_);
    std::vector<HidInterfaceInfo> result;
    const HidServices& s = Services();
    if (!s.setupBound || !s.hidBound) return result;

    GUID classId = kHidInterfaceGuid;
    if (s.getHidGuid != nullptr) s.getHidGuid(&classId);

    HDEVINFO set =
        s.getClassDevs(&classId, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return result;

    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof interfaceData;
        if (!s.enumInterfaces(set, nullptr, &classId, index, &interfaceData)) break;

        SP_DEVINFO_DATA deviceData{};
        deviceData.cbSize = sizeof deviceData;
        DWORD required = 0;
        if (s.getDetail(set, &interfaceData, nullptr, 0, &required, &deviceData) ||
            GetLastError() != ERROR_INSUFFICIENT_BUFFER || required < sizeof(DWORD) + 1)
            continue;

        std::vector<char> buffer(required, 0);
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buffer.data());
        detail->cbSize = kDetailSizeField;
        if (!s.getDetail(set, &interfaceData, detail, required, nullptr, &deviceData)) continue;

        HidInterfaceInfo info;
        info.path = detail->DevicePath;
        info.port = UsbPort(s, deviceData.DevInst);
        const HANDLE handle = OpenPath(info.path);
        // open() opens the same way, so a count can take this result instead of opening again.
        info.openable = handle != INVALID_HANDLE_VALUE;
        if (handle == INVALID_HANDLE_VALUE) {
            info.attributesRead = false;
        } else {
            ReadIdentity(s, handle, info);
            CloseHandle(handle);
        }
        result.push_back(std::move(info));
    }
    s.destroyList(set);
    return result;
}

std::string Win32HidPlatform::serviceError() {
    return Services().error;
}

HidHandle Win32HidPlatform::open(const std::string& path, std::string* error) {
    const std::lock_guard<std::mutex> hold(lock_);
    const HANDLE handle = OpenPath(path);
    if (handle == INVALID_HANDLE_VALUE) {
        if (error != nullptr) *error = LastErrorText(GetLastError());
        return kInvalidHandle;
    }
    return reinterpret_cast<HidHandle>(handle);
}

// HidD_SetFeature and HidD_GetFeature move the whole report or fail; they report no count.
int Win32HidPlatform::setFeature(HidHandle handle, const std::uint8_t* data, std::size_t length) {
    const HidServices& s = Services();
    if (!s.hidBound || handle == kInvalidHandle || data == nullptr || length == 0) return -1;
    // The call takes a non-const buffer; it only reads it.
    std::vector<std::uint8_t> buffer(data, data + length);
    const bool ok =
        s.setFeature(reinterpret_cast<HANDLE>(handle), buffer.data(), static_cast<ULONG>(length));
    return ok ? static_cast<int>(length) : -1;
}

int Win32HidPlatform::getFeature(HidHandle handle, std::uint8_t* data, std::size_t length) {
    const HidServices& s = Services();
    if (!s.hidBound || handle == kInvalidHandle || data == nullptr || length == 0) return -1;
    const bool ok =
        s.getFeature(reinterpret_cast<HANDLE>(handle), data, static_cast<ULONG>(length));
    return ok ? static_cast<int>(length) : -1;
}

void Win32HidPlatform::close(HidHandle handle) {
    if (handle != kInvalidHandle) CloseHandle(reinterpret_cast<HANDLE>(handle));
}

// The resolution is raised while any operation of any thread runs.
void Win32HidPlatform::beginOperation() {
    const std::lock_guard<std::mutex> hold(lock_);
    if (timerPeriodDepth_++ == 0) timeBeginPeriod(1);
}

void Win32HidPlatform::endOperation() {
    const std::lock_guard<std::mutex> hold(lock_);
    if (timerPeriodDepth_ > 0 && --timerPeriodDepth_ == 0) timeEndPeriod(1);
}

}  // namespace bw
