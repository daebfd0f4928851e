#pragma once

// Screenshot scenes of the batch windows: the progress window during a conversion (paused at
// its first picture; once per theme) and the preferences dialog.
void RegisterBatchScreenshots();
