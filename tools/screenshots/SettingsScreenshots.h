#pragma once

// Screenshot scenes of the conversion settings dialog (with its format list open), the file
// information window and the main window playing its first job.
void RegisterSettingsScreenshots();
