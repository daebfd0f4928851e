#include "CatalogFile.h"

#include "FormatCatalog.h"
#include "MediaUtils.h"

#include <cstring>

using namespace catalogkey;

TCatalogFile::TCatalogFile(std::string fileName) : ini_(std::move(fileName)) {}

std::string TCatalogFile::Format(int code) const {
    return Value(code, catalogkey::Format, Null);
}

bool TCatalogFile::HasFormat(int code) const {
    return ini_.SectionExists(TFormatCatalog::SectionName(code));
}

std::string TCatalogFile::FileExt(int code) const {
    return Value(code, catalogkey::FileExt, "mp4");
}

std::string TCatalogFile::ListText(int code, const TParameterKeys& parameter) const {
    return Value(code, parameter.List, Null);
}

TChoiceList TCatalogFile::List(int code, const TParameterKeys& parameter) const {
    return ParseList(parameter, ListText(code, parameter));
}

int TCatalogFile::DefaultIndex(int code, const TParameterKeys& parameter) const {
    return ini_.ReadInteger(TFormatCatalog::SectionName(code), parameter.Index, 0);
}

std::string TCatalogFile::Value(int code, const std::string& key,
                                const std::string& defaultValue) const {
    return ini_.ReadString(TFormatCatalog::SectionName(code), key, defaultValue);
}

TChoiceList TCatalogFile::ParseList(const TParameterKeys& parameter, const std::string& text) {
    TChoiceList list;
    if (text == Null) {
        return list;
    }
    if (text.empty()) {
        const bool typed = std::strcmp(parameter.List, VideoSize.List) == 0 ||
                           std::strcmp(parameter.List, VideoBitRate.List) == 0 ||
                           std::strcmp(parameter.List, FrameRate.List) == 0;
        list.Enabled = typed;
        return list;
    }
    list.Enabled = true;
    list.Items = SplitText(text, ',');
    return list;
}
