#pragma once

// Adds the watermark editor to the screenshot scenes: the first clip of the job list playing
// under a text and an image item, once on the "Watermark" tab and once on the "Effect" tab.
void RegisterWaterMarkScenes();
