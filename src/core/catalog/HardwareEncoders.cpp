#include "HardwareEncoders.h"

#include "AppMessages.h"
#include "FFmpegLoader.h"
#include "HardwareUpload.h"
#include "MediaUtils.h"

#include <algorithm>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// DRM devices have major 226; render nodes take minors from 128.
constexpr unsigned DrmMajor = 226;
constexpr unsigned FirstRenderMinor = 128;

} // namespace

bool TSystemDeviceOpener::IsRenderDevice(const std::string& path) const {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode) &&
           major(info.st_rdev) == DrmMajor && minor(info.st_rdev) >= FirstRenderMinor;
}

bool TSystemDeviceOpener::TrialEncode(const std::string& device, const std::string& encoder,
                                      std::string& why) {
    if (!device.empty()) {
        const int fd = ::open(device.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            why = appmsg::DeviceCannotOpen;
            return false;
        }
        ::close(fd);
    }
    // The programs load them at start, before they look for devices.
    if (!TFFmpegLoader::Instance().Loaded(EncoderLibraries)) {
        why = appmsg::DeviceNoLibraries;
        return false;
    }
    return THardwareUpload::TrialEncode(device, encoder, why);
}

bool TSystemDeviceOpener::NvencLoads() const {
    void* library = ::dlopen("libnvidia-encode.so.1", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        return false;
    }
    ::dlclose(library);
    return true;
}

const std::vector<THardwareEncoder>& THardwareEncoders::Known() {
    static const std::vector<THardwareEncoder> known = {
        {"h264_vaapi", "H.264 (VAAPI)", "libx264", "h264", true},
        {"hevc_vaapi", "H.265 (VAAPI)", "libx265", "h265", true},
        {"vp9_vaapi", "VP9 (VAAPI)", "libvpx-vp9", "vp9", true},
        {"h264_nvenc", "H.264 (NVENC)", "libx264", "h264", false},
        {"hevc_nvenc", "H.265 (NVENC)", "libx265", "h265", false},
    };
    return known;
}

const THardwareEncoder* THardwareEncoders::Find(const std::string& name) {
    for (const THardwareEncoder& encoder : Known()) {
        if (name == encoder.Name) {
            return &encoder;
        }
    }
    return nullptr;
}

std::vector<std::string> THardwareEncoders::RenderDevicePaths() {
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", error)) {
        if (entry.path().filename().string().rfind("renderD", 0) == 0) {
            paths.push_back(entry.path().string());
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

void THardwareEncoders::Detect(const std::vector<std::string>& devicePaths, IDeviceOpener& opener) {
    offered_.clear();
    missing_.clear();
    std::vector<std::string> renderNodes;
    std::string whyNoNode = appmsg::NoRenderDevice;
    for (const std::string& path : devicePaths) {
        if (opener.IsRenderDevice(path)) {
            renderNodes.push_back(path);
        } else {
            whyNoNode = Format(appmsg::NotRenderDevice, path.c_str());
        }
    }
    const bool nvenc = opener.NvencLoads();
    for (const THardwareEncoder& encoder : Known()) {
        if (!encoder.Vaapi) {
            std::string why;
            if (!nvenc) {
                missing_[encoder.Name] = appmsg::NvencNotLoaded;
            } else if (opener.TrialEncode("", encoder.Name, why)) {
                offered_[encoder.Name] = "";
            } else {
                missing_[encoder.Name] = why;
            }
            continue;
        }
        if (renderNodes.empty()) {
            missing_[encoder.Name] = whyNoNode;
            continue;
        }
        for (const std::string& node : renderNodes) {
            std::string why;
            if (opener.TrialEncode(node, encoder.Name, why)) {
                offered_[encoder.Name] = node;
                missing_.erase(encoder.Name);
                break;
            }
            missing_[encoder.Name] = Format(appmsg::DeviceTrialFailed, node.c_str(), why.c_str());
        }
    }
}

bool THardwareEncoders::Offered(const std::string& name) const {
    return offered_.count(name) != 0;
}

std::string THardwareEncoders::WhyMissing(const std::string& name) const {
    if (Offered(name)) {
        return {};
    }
    const auto found = missing_.find(name);
    if (found != missing_.end()) {
        return found->second;
    }
    const THardwareEncoder* encoder = Find(name);
    return encoder != nullptr && !encoder->Vaapi ? appmsg::NvencNotLoaded : appmsg::NoRenderDevice;
}

std::vector<std::string>
THardwareEncoders::CaptionsBeside(const std::string& softwareDisplayName) const {
    std::vector<std::string> captions;
    for (const THardwareEncoder& encoder : Known()) {
        if (SameText(softwareDisplayName, encoder.SoftwareDisplayName) && Offered(encoder.Name)) {
            captions.emplace_back(encoder.Caption);
        }
    }
    return captions;
}

std::string THardwareEncoders::DeviceOf(const std::string& name) const {
    const auto found = offered_.find(name);
    return found != offered_.end() ? found->second : std::string();
}

THardwareEncoders& THardwareEncoders::Instance() {
    static THardwareEncoders instance;
    return instance;
}
