#include "PictureOrientation.h"

#include "LibraryFunctions.h"

#include <cmath>
#include <numbers>

namespace {

double Fixed(std::int32_t value) {
    return value / 65536.0;
}

} // namespace

TPictureOrientation OrientationOfMatrix(const std::int32_t matrix[9]) {
    TPictureOrientation orientation;
    const double a = Fixed(matrix[0]);
    const double b = Fixed(matrix[1]);
    const double c = Fixed(matrix[3]);
    const double d = Fixed(matrix[4]);
    const double scaleX = std::hypot(a, c);
    const double scaleY = std::hypot(b, d);
    if (scaleX == 0.0 || scaleY == 0.0) {
        return orientation;
    }
    // The matrix turns counter-clockwise in the picture's coordinates: showing it upright is
    // the same angle clockwise on screen.
    double theta = std::round(std::atan2(b / scaleY, a / scaleX) * 180.0 / std::numbers::pi);
    theta -= 360.0 * std::floor(theta / 360.0 + 0.9 / 360.0);
    const auto near = [theta](double angle) { return std::fabs(theta - angle) < 1.0; };
    if (near(90)) {
        orientation.Rotation = 90;
        orientation.Mirrored = c > 0;
        orientation.Filters = orientation.Mirrored ? "transpose=cclock_flip" : "transpose=clock";
    } else if (near(180)) {
        orientation.Rotation = 180;
        const bool h = a < 0;
        const bool v = d < 0;
        orientation.Mirrored = h != v;
        orientation.Filters = h && v ? "hflip,vflip" : h ? "hflip" : v ? "vflip" : "";
    } else if (near(270)) {
        orientation.Rotation = 270;
        orientation.Mirrored = c < 0;
        orientation.Filters = orientation.Mirrored ? "transpose=clock_flip" : "transpose=cclock";
    } else if (near(0) || near(360)) {
        orientation.Mirrored = d < 0;
        orientation.Filters = orientation.Mirrored ? "vflip" : "";
    }
    return orientation;
}

TPictureOrientation OrientationOf(const AVStream* stream) {
    if (stream == nullptr) {
        return {};
    }
    for (int i = 0; i < stream->nb_side_data; ++i) {
        const AVPacketSideData& data = stream->side_data[i];
        if (data.type == AV_PKT_DATA_DISPLAYMATRIX &&
            data.size >= static_cast<int>(9 * sizeof(std::int32_t))) {
            return OrientationOfMatrix(reinterpret_cast<const std::int32_t*>(data.data));
        }
    }
    return {};
}
