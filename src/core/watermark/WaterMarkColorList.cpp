#include "WaterMarkColorList.h"

#include <cstddef>

namespace {

// A system colour code: high byte set, the colour's index in the low byte.
constexpr std::uint32_t System(std::uint32_t index) {
    return 0xFF000000u | index;
}

} // namespace

const std::vector<TWaterMarkColorEntry>& WaterMarkColorList() {
    static const std::vector<TWaterMarkColorEntry> list{
        {"Black", 0x000000},
        {"Maroon", 0x000080},
        {"Green", 0x008000},
        {"Olive", 0x008080},
        {"Navy", 0x800000},
        {"Purple", 0x800080},
        {"Teal", 0x808000},
        {"Gray", 0x808080},
        {"Silver", 0xC0C0C0},
        {"Red", 0x0000FF},
        {"Lime", 0x00FF00},
        {"Yellow", 0x00FFFF},
        {"Blue", 0xFF0000},
        {"Fuchsia", 0xFF00FF},
        {"Aqua", 0xFFFF00},
        {"White", 0xFFFFFF},
        {"Money Green", 0xC0DCC0},
        {"Sky Blue", 0xF0CAA6},
        {"Cream", 0xF0FBFF},
        {"Medium Gray", 0xA4A0A0},
        {"Active Border", System(10)},
        {"Active Caption", System(2)},
        {"Application Workspace", System(12)},
        {"Background", System(1)},
        {"Button Face", System(15)},
        {"Button Highlight", System(20)},
        {"Button Shadow", System(16)},
        {"Button Text", System(18)},
        {"Caption Text", System(9)},
        {"Gradient Active Caption", System(27)},
        {"Gradient Inactive Caption", System(28)},
        {"Gray Text", System(17)},
        {"Highlight", System(13)},
        {"Highlight Text", System(14)},
        {"Hot Light", System(26)},
        {"Inactive Border", System(11)},
        {"Inactive Caption", System(3)},
        {"Inactive Caption Text", System(19)},
        {"Info Background", System(24)},
        {"Info Text", System(23)},
        {"Menu", System(4)},
        {"Menu Bar", System(30)},
        {"Menu Highlight", System(29)},
        {"Menu Text", System(7)},
        {"Scroll Bar", System(0)},
        {"3D Dark Shadow", System(21)},
        {"3D Light", System(22)},
        {"Window", System(5)},
        {"Window Frame", System(6)},
        {"Window Text", System(8)},
    };
    return list;
}

int WaterMarkColorIndex(std::uint32_t value) {
    const std::vector<TWaterMarkColorEntry>& list = WaterMarkColorList();
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].Value == value) {
            return static_cast<int>(i);
        }
    }
    return -1;
}
