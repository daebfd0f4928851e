#pragma once

#include "CustomFFEncoder.h"

// The encoder component the application places on its main window.
class TFFEncoder : public TCustomFFEncoder {
public:
    TFFEncoder() = default;
};
