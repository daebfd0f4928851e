#include "FormatProfile.h"

#include "DisplayNames.h"
#include "FormatCatalog.h"
#include "MediaUtils.h"
#include "QualityLevels.h"

using namespace catalogkey;

namespace {

// Copied only when the catalog's value makes sense for the encoder.
bool ValidH264Extra(const std::string& key, const std::string& value) {
    if (value.empty()) {
        return false;
    }
    if (key == "paraBitExact") {
        return LowerCase(value) == "true";
    }
    int number = 0;
    if (!TryStrToInt(value, number)) {
        return false;
    }
    return key == "paraCoder" ? number >= 0 : number > 0;
}

TProfileChoice DefaultChoice(const TCatalogFile& catalog, int code,
                             const TParameterKeys& parameter) {
    const TChoiceList list = catalog.List(code, parameter);
    const int index = catalog.DefaultIndex(code, parameter);
    if (!list.Enabled || index < 0 || index >= static_cast<int>(list.Items.size())) {
        return {};
    }
    return {index, list.Items[index]};
}

} // namespace

TFormatProfile::TFormatProfile(std::string settingsFile, std::string catalogFile, int code)
    : settingsFile_(std::move(settingsFile)), catalogFile_(std::move(catalogFile)), code_(code) {}

std::string TFormatProfile::Read(const std::string& key, const std::string& defaultValue) const {
    const TIniFile settings(settingsFile_);
    const std::string section = TFormatCatalog::SectionName(code_);
    if (settings.ValueExists(section, key)) {
        return settings.ReadString(section, key, defaultValue);
    }
    if (settings.ValueExists(section, VideoEncoder.Value)) {
        return defaultValue;
    }
    if (!catalogDefaults_) {
        const TCatalogFile catalog(catalogFile_);
        catalogDefaults_ = Values(catalog, code_, CatalogDefaults(catalog, code_));
    }
    std::optional<std::string> value;
    for (const auto& [name, stored] : *catalogDefaults_) {
        if (SameText(name, key)) {
            value = stored;
        }
    }
    return value.value_or(defaultValue);
}

TIniFile::TValues TFormatProfile::Values(const TCatalogFile& catalog, int code,
                                         const TProfileChoices& choices) {
    TIniFile::TValues values;
    values.emplace_back(Description, choices.Description);

    const std::pair<const TParameterKeys&, const TProfileChoice&> indexes[] = {
        {catalogkey::VideoSize, choices.VideoSize},
        {catalogkey::VideoBitRate, choices.VideoBitRate},
        {catalogkey::VideoEncoder, choices.VideoEncoder},
        {catalogkey::FrameRate, choices.FrameRate},
        {catalogkey::SampleRate, choices.SampleRate},
        {catalogkey::AudioBitRate, choices.AudioBitRate},
        {catalogkey::Channel, choices.Channel},
        {catalogkey::Volume, choices.Volume},
        {catalogkey::AudioEncoder, choices.AudioEncoder},
    };
    for (const auto& [parameter, choice] : indexes) {
        values.emplace_back(parameter.Index, std::to_string(choice.Index));
    }

    values.emplace_back(catalogkey::VideoSize.Value, choices.VideoSize.Text);
    // A quality level is stored by its name: the value shown beside it is the encoder's.
    values.emplace_back(
        catalogkey::VideoBitRate.Value,
        TQualityLevels::LevelName(choices.VideoBitRate.Text).value_or(choices.VideoBitRate.Text));
    values.emplace_back(catalogkey::FrameRate.Value, choices.FrameRate.Text);

    static constexpr const char* zooms[] = {"full", "lbox", "pan"};
    if (choices.ZoomIndex >= 0 && choices.ZoomIndex < 3) {
        values.emplace_back(Zoom, zooms[choices.ZoomIndex]);
    }

    if (const auto encoder = TDisplayNames::VideoEncoder(choices.VideoEncoder.Text)) {
        values.emplace_back(catalogkey::VideoEncoder.Value, *encoder);
    }
    if (LowerCase(choices.VideoEncoder.Text) == TDisplayNames::H264) {
        for (const char* key : H264Extras) {
            const std::string value = catalog.Value(code, key, "");
            if (ValidH264Extra(key, value)) {
                values.emplace_back(key, value);
            }
        }
    }

    values.emplace_back(catalogkey::SampleRate.Value, choices.SampleRate.Text);
    values.emplace_back(catalogkey::AudioBitRate.Value, choices.AudioBitRate.Text);

    if (const auto channel = TDisplayNames::Channel(choices.Channel.Text)) {
        values.emplace_back(catalogkey::Channel.Value, *channel);
    }
    if (const auto volume = TDisplayNames::Volume(choices.Volume.Text)) {
        values.emplace_back(catalogkey::Volume.Value, *volume);
    }
    if (const auto encoder = TDisplayNames::AudioEncoder(choices.AudioEncoder.Text)) {
        values.emplace_back(catalogkey::AudioEncoder.Value, *encoder);
        if (LowerCase(choices.AudioEncoder.Text) == TDisplayNames::Gsm) {
            values.emplace_back(catalogkey::SampleRate.Value, "8000");
            values.emplace_back(catalogkey::Channel.Value, "1");
        }
    }
    return values;
}

void TFormatProfile::Store(TIniFile& settings, const TCatalogFile& catalog, int code,
                           const TProfileChoices& choices) {
    settings.WriteStrings(TFormatCatalog::SectionName(code), Values(catalog, code, choices));
}

TProfileChoices TFormatProfile::CatalogDefaults(const TCatalogFile& catalog, int code) {
    TProfileChoices choices;
    choices.Description = TFormatCatalog::EntryText(code);
    choices.VideoSize = DefaultChoice(catalog, code, catalogkey::VideoSize);
    choices.VideoBitRate = DefaultChoice(catalog, code, catalogkey::VideoBitRate);
    choices.FrameRate = DefaultChoice(catalog, code, catalogkey::FrameRate);
    choices.VideoEncoder = DefaultChoice(catalog, code, catalogkey::VideoEncoder);
    choices.SampleRate = DefaultChoice(catalog, code, catalogkey::SampleRate);
    choices.AudioBitRate = DefaultChoice(catalog, code, catalogkey::AudioBitRate);
    choices.AudioEncoder = DefaultChoice(catalog, code, catalogkey::AudioEncoder);
    choices.Channel = DefaultChoice(catalog, code, catalogkey::Channel);
    choices.Volume = DefaultChoice(catalog, code, catalogkey::Volume);
    return choices;
}
