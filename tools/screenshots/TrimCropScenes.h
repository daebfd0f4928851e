#pragma once

// Adds the trim and crop dialogs, with the first job open, to the screenshot scenes.
void RegisterTrimCropScenes();
