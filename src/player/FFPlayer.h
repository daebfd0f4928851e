#pragma once

#include "CustomPlayer.h"

// The player the application places in its windows.
class TFFPlayer : public TCustomPlayer {
public:
    TFFPlayer() = default;
};
