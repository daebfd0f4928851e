#pragma once

struct TOutputOptions;

// The "Auto" choice of "Conversions at once": how many conversions of one batch run side by
// side. Audio-only outputs and pictures up to standard definition run one per core (their
// encoders use about one core each); larger pictures run one per two cores, since their
// encoders spread over the cores themselves; an x265 or SVT-AV1 encode of 1080p or more (about
// 1 GB each) runs alone. Frame size "as source" counts as large.
int AutoConversionsAtOnce(const TOutputOptions& output, unsigned cores);

// The number of cores, at least 1.
unsigned HardwareThreads();
