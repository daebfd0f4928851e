#pragma once

// Working tables of one running conversion: built by the set-up, released at its end.
struct TTranscodeState {};
