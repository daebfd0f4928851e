#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// One hardware encoder the program knows: its library name (what a profile stores), the
// caption the encoder list shows, the software encoder that takes its place where it is
// missing, and the catalog's display name of that software encoder.
struct THardwareEncoder {
    const char* Name;
    const char* Caption;
    const char* Software;
    const char* SoftwareDisplayName;
    bool Vaapi; // false: NVENC
};

// How the detection reaches devices; tests inject their own.
class IDeviceOpener {
public:
    virtual ~IDeviceOpener() = default;
    // Whether the path names a DRM render node.
    virtual bool IsRenderDevice(const std::string& path) const = 0;
    // Opens the device (none for NVENC) and encodes a few trial pictures with the encoder;
    // false with the reason when either fails.
    virtual bool TrialEncode(const std::string& device, const std::string& encoder,
                             std::string& why) = 0;
    // Whether the NVENC driver library loads.
    virtual bool NvencLoads() const = 0;
};

// The opener of this machine's devices.
class TSystemDeviceOpener : public IDeviceOpener {
public:
    bool IsRenderDevice(const std::string& path) const override;
    bool TrialEncode(const std::string& device, const std::string& encoder,
                     std::string& why) override;
    bool NvencLoads() const override;
};

// Which hardware encoders this machine offers, decided once at start. Where none is found
// nothing new is shown; a profile naming a missing one converts with its software encoder.
class THardwareEncoders {
public:
    static const std::vector<THardwareEncoder>& Known();
    static const THardwareEncoder* Find(const std::string& name);
    // The VAAPI render nodes of this machine (/dev/dri/renderD*).
    static std::vector<std::string> RenderDevicePaths();

    // Tries every known encoder on the first render device where it passes a trial encode.
    void Detect(const std::vector<std::string>& devicePaths, IDeviceOpener& opener);
    bool Offered(const std::string& name) const;
    // Why a known encoder is not offered; empty when it is.
    std::string WhyMissing(const std::string& name) const;
    // The captions offered beside a catalog encoder display name ("h265": "H.265 (VAAPI)").
    std::vector<std::string> CaptionsBeside(const std::string& softwareDisplayName) const;
    // The device an offered VAAPI encoder was found on.
    std::string DeviceOf(const std::string& name) const;

    // The process-wide set the settings dialog and option building read.
    static THardwareEncoders& Instance();

private:
    std::map<std::string, std::string> offered_; // name → device ("" for NVENC)
    std::map<std::string, std::string> missing_; // name → why
};
