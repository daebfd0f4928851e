#include "DisplayLayout.h"

#include <cmath>

namespace display_layout {

double DisplayAspect(float aspectRatio, int pictureWidth, int pictureHeight, int sampleAspectNum,
                     int sampleAspectDen, int surfaceWidth, int surfaceHeight) {
    if (aspectRatio > 0) {
        return aspectRatio;
    }
    if (aspectRatio < 0) {
        return surfaceHeight > 0 ? static_cast<double>(surfaceWidth) / surfaceHeight : 1.0;
    }
    double sampleAspect = 1.0;
    if (sampleAspectNum > 0 && sampleAspectDen > 0) {
        sampleAspect = static_cast<double>(sampleAspectNum) / sampleAspectDen;
    }
    if (pictureWidth <= 0 || pictureHeight <= 0) {
        return 1.0;
    }
    return sampleAspect * pictureWidth / pictureHeight;
}

TPictureRect PictureRect(int surfaceWidth, int surfaceHeight, double aspect) {
    TPictureRect r;
    if (surfaceWidth <= 0 || surfaceHeight <= 0 || !(aspect > 0)) {
        return r;
    }
    r.height = surfaceHeight;
    r.width = static_cast<int>(std::rint(r.height * aspect)) & ~1;
    if (r.width > surfaceWidth) {
        r.width = surfaceWidth;
        r.height = static_cast<int>(std::rint(r.width / aspect)) & ~1;
    }
    r.x = (surfaceWidth - r.width) / 2;
    r.y = (surfaceHeight - r.height) / 2;
    return r;
}

} // namespace display_layout
